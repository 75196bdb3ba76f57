#pragma once
// The about window: the program's name, what it does, its version and a link to the
// home page.

#include "platform/gui/Forms.h"

class TFrmAbout : public TForm {
public:
  explicit TFrmAbout(TComponent* AOwner);
};

extern TFrmAbout* FrmAbout;
