#pragma once
// A window as the converter's main window holds them for a run: the files list view
// with its TFileList, the two progress bars, the three labels and a TOutput wired to
// them, with counters of the run's notifications.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/UFileList.h"
#include "app/UOutput.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ListView.h"
#include "tests/support/Tags.h"
#include "widgets/KvLabel.h"
#include "widgets/KvPrgres.h"

// The common fields of a tag set, as MutagenCommonTags names them.
testsupport::TTagItems CommonFields(const TTagSet& T);

class TRunWindow {
public:
  // Output files go to OutputDir.
  explicit TRunWindow(const std::string& OutputDir);
  ~TRunWindow();
  TRunWindow(const TRunWindow&) = delete;
  TRunWindow& operator=(const TRunWindow&) = delete;

  // Starts a run and handles events until it ends; false when it did not start or did
  // not end within TimeoutMs (the run is then stopped).
  bool Convert(int TimeoutMs = 120000);
  // Starts a run and handles events until Done says so.
  bool StartAndWait(const std::function<bool()>& Done, int TimeoutMs = 120000);
  // The entries' captions, in list order.
  std::vector<std::string> Captions() const;

  TForm* Form;
  TListView* View;
  TKvProgressBar* PrgCurrent;
  TKvProgressBar* PrgTotal;
  TKvLabel* LblInfo;
  TKvLabel* LblElapT;
  TKvLabel* LblRemT;
  std::unique_ptr<TFileList> Files;
  std::unique_ptr<TOutput> Out;

  int FilesDone = 0;
  int AllDone = 0;
  // Every percentage either bar showed.
  std::vector<int> Percents;
};
