#include "tools/QuenSimpelMail.h"

#include <vector>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/Mail.h"

namespace {
using TMapiSendMail = ULONG (*)(LHANDLE, uintptr_t, const MapiMessage*, ULONG, ULONG);
}

int SendSimpleMail(const char* Subject, const char* Body, const TStrings* Attachments) {
  MapiMessage message;
  message.lpszSubject = Subject;
  message.lpszNoteText = Body;
  // The records point into these strings, which live until the call has returned.
  const int count = Attachments ? Attachments->Count() : 0;
  std::vector<std::string> paths, names;
  for (int i = 0; i < count; ++i) {
    paths.push_back(Attachments->Strings(i));
    names.push_back(ExtractFileName(paths.back()));
  }
  std::vector<MapiFileDesc> files(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    files[size_t(i)].nPosition = 0xFFFFFFFF;
    files[size_t(i)].lpszPathName = paths[size_t(i)].c_str();
    files[size_t(i)].lpszFileName = names[size_t(i)].c_str();
  }
  message.nFileCount = ULONG(count);
  message.lpFiles = count ? files.data() : nullptr;

  TMapiLibrary library = MapiLoadLibrary("MAPI32.DLL");
  if (!library) return -1;
  auto send = reinterpret_cast<TMapiSendMail>(MapiGetProcAddress(library, "MAPISendMail"));
  // A library without its send call is broken, which the user must not take for a cancel
  // (result 1), so it reports a general failure.
  int result = int(MAPI_E_FAILURE);
  if (send) result = int(send(0, 0, &message, MAPI_LOGON_UI | MAPI_NEW_SESSION | MAPI_DIALOG, 0));
  MapiFreeLibrary(library);
  return result;
}

bool MailFilesUnmodified(const std::vector<std::string>& Files) {
  TStringList list;
  list.AddStrings(Files);
  const std::string subject = Format(_n("%d file attached", "%d files attached", Files.size()), {int(Files.size())});
  return SendSimpleMail(subject.c_str(), nullptr, &list) == 0;
}
