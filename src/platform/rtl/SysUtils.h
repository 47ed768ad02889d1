#pragma once
// The run-time library's exceptions and routines (strings, numbers, dates, files).
#include <cstdint>
#include <exception>
#include <string>
#include <utility>

// ---------------------------------------------------------------------------
// Exceptions: the class library's hierarchy. Subsystems catch by these classes,
// so the derivations matter (EInvalidGraphic apart from other failures, ...).
// ---------------------------------------------------------------------------
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  void SetMessage(std::string m) { message_ = std::move(m); }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

#define KIVO2_EXCEPTION(Name, Base) \
  class Name : public Base {        \
   public:                          \
    using Base::Base;               \
  };

KIVO2_EXCEPTION(EAbort, Exception)
KIVO2_EXCEPTION(EHeapException, Exception)
KIVO2_EXCEPTION(EOutOfMemory, EHeapException)
KIVO2_EXCEPTION(EOutOfResources, EOutOfMemory)
KIVO2_EXCEPTION(EInOutError, Exception)
KIVO2_EXCEPTION(EOSError, Exception)
KIVO2_EXCEPTION(EExternal, Exception)
KIVO2_EXCEPTION(EIntError, EExternal)
KIVO2_EXCEPTION(EDivByZero, EIntError)
KIVO2_EXCEPTION(ERangeError, EIntError)
KIVO2_EXCEPTION(EIntOverflow, EIntError)
KIVO2_EXCEPTION(EMathError, EExternal)
KIVO2_EXCEPTION(EInvalidOp, EMathError)
KIVO2_EXCEPTION(EZeroDivide, EMathError)
KIVO2_EXCEPTION(EOverflow, EMathError)
KIVO2_EXCEPTION(EUnderflow, EMathError)
KIVO2_EXCEPTION(EConvertError, Exception)
KIVO2_EXCEPTION(EInvalidCast, Exception)
KIVO2_EXCEPTION(EAbstractError, Exception)
KIVO2_EXCEPTION(EInvalidPointer, Exception)
KIVO2_EXCEPTION(EInvalidOperation, Exception)
KIVO2_EXCEPTION(EListError, Exception)
KIVO2_EXCEPTION(EStringListError, Exception)
KIVO2_EXCEPTION(EComponentError, Exception)
KIVO2_EXCEPTION(EThread, Exception)
KIVO2_EXCEPTION(EStreamError, Exception)
KIVO2_EXCEPTION(EFCreateError, EStreamError)
KIVO2_EXCEPTION(EFOpenError, EStreamError)
KIVO2_EXCEPTION(EFilerError, EStreamError)
KIVO2_EXCEPTION(EReadError, EFilerError)
KIVO2_EXCEPTION(EWriteError, EFilerError)
KIVO2_EXCEPTION(EIniFileException, Exception)
KIVO2_EXCEPTION(ERegistryException, Exception)
KIVO2_EXCEPTION(EInvalidGraphic, Exception)
KIVO2_EXCEPTION(EInvalidGraphicOperation, Exception)
KIVO2_EXCEPTION(EPrinter, Exception)
KIVO2_EXCEPTION(EClipboardException, Exception)
