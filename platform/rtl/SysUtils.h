#pragma once
// Exceptions and small numeric helpers shared by every layer.

#include <cstdint>
#include <exception>
#include <string>

// Base of every exception the system raises; the message is UTF-8 text.
class Exception : public std::exception {
public:
  explicit Exception(std::string Msg) : FMessage(std::move(Msg)) {}
  const std::string& Message() const noexcept { return FMessage; }
  void SetMessage(std::string Msg) { FMessage = std::move(Msg); }
  const char* what() const noexcept override { return FMessage.c_str(); }

private:
  std::string FMessage;
};

// An operating-system call failed; the message is the system's text.
class EOSError : public Exception {
public:
  EOSError(std::string Msg, int Code) : Exception(std::move(Msg)), FErrorCode(Code) {}
  int ErrorCode() const noexcept { return FErrorCode; }

private:
  int FErrorCode;
};

class EConvertError : public Exception { using Exception::Exception; };
class EThread : public Exception { using Exception::Exception; };
class EStreamError : public Exception { using Exception::Exception; };
class EFileStreamError : public EStreamError { using EStreamError::EStreamError; };
class EFCreateError : public EFileStreamError { using EFileStreamError::EFileStreamError; };
class EFOpenError : public EFileStreamError { using EFileStreamError::EFileStreamError; };
class EReadError : public EStreamError { using EStreamError::EStreamError; };
class EWriteError : public EStreamError { using EStreamError::EStreamError; };
class EListError : public Exception { using Exception::Exception; };

// The system's text for an errno value.
std::string SysErrorMessage(int ErrorCode);

// Rounding as the arithmetic of the design expects it: halves go to the even neighbour.
int64_t Round(double X);
int64_t Round(long double X);
inline int64_t Trunc(double X) { return static_cast<int64_t>(X); }

// Checks that the floating-point environment masks every exception, so codec
// arithmetic can never trap. True when it does.
bool FloatExceptionsMasked();
