#include "tools/SendMail.h"

#include <vector>

#include "platform/i18n/GnuGetText.h"
#include "platform/rtl/Registry.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/Mail.h"

namespace {

// The default messaging profile of the current user, or "" when no profile key exists.
bool DefaultProfile(std::string& profile) {
  TRegistry registry(KEY_READ);
  registry.SetRootKey(HKEY_CURRENT_USER);
  for (const char* key : {"Software\\Microsoft\\Windows Messaging Subsystem\\Profiles",
                          "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles"}) {
    if (!registry.KeyExists(key)) continue;
    if (registry.OpenKeyReadOnly(key)) {
      profile = registry.ValueExists("DefaultProfile") ? registry.ReadString("DefaultProfile") : std::string();
      registry.CloseKey();
    }
    return true;
  }
  return false;
}

// A recipient line's class by its prefix ("CC:" is tested first), the prefix removed.
ULONG RecipientClass(std::string& line) {
  if (line.size() >= 3 && SameText(line.substr(0, 3), "CC:")) {
    line.erase(0, 3);
    return MAPI_CC;
  }
  if (line.size() >= 4 && SameText(line.substr(0, 4), "BCC:")) {
    line.erase(0, 4);
    return MAPI_BCC;
  }
  return MAPI_TO;
}

// A recipient as the message holds it: texts and entry id copied, so nothing points into
// a block the mail library has freed.
struct TRecipient {
  ULONG Class = MAPI_TO;
  std::string Name, Address;
  std::vector<uint8_t> EntryId;
};

}  // namespace

TMAPIMail::TMAPIMail(TComponent* AOwner)
    : TComponent(AOwner),
      recipients_(std::make_unique<TStringList>()),
      attachments_(std::make_unique<TStringList>()),
      attachmentNames_(std::make_unique<TStringList>()) {}

TMAPIMail::~TMAPIMail() = default;

void TMAPIMail::SetRecipients(const TStrings* lines) { if (lines) recipients_->Assign(*lines); }
void TMAPIMail::SetAttachments(const TStrings* lines) { if (lines) attachments_->Assign(*lines); }
void TMAPIMail::SetAttachmentNames(const TStrings* lines) { if (lines) attachmentNames_->Assign(*lines); }

bool TMAPIMail::SendMail() {
  LHANDLE session = 0;
  std::string profile;
  if (DefaultProfile(profile)) {
    const ULONG rc = MAPILogon(0, profile.c_str(), nullptr, MAPI_NEW_SESSION, 0, &session);
    if (rc != SUCCESS_SUCCESS) {
      session = 0;
      throw Exception(Format(_("MAPI Error %d: %s"), {int(rc), MapiErrorText(int(rc))}));
    }
  }

  MapiMessage message;
  MapiRecipDesc originator;
  const std::string senderName = SenderName.empty() ? SenderAddress : SenderName;
  if (!SenderAddress.empty()) {
    originator.ulRecipClass = MAPI_ORIG;
    originator.lpszName = senderName.c_str();
    originator.lpszAddress = SenderAddress.c_str();
    message.lpOriginator = &originator;
  }
  message.lpszSubject = Subject.c_str();
  message.lpszNoteText = Body.c_str();

  std::vector<std::string> paths, names;
  for (int i = 0; i < attachments_->Count(); ++i) {
    paths.push_back(attachments_->Strings(i));
    const std::string name = i < attachmentNames_->Count() ? attachmentNames_->Strings(i) : std::string();
    names.push_back(name.empty() ? ExtractFileName(paths.back()) : name);
  }
  std::vector<MapiFileDesc> files(paths.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    files[i].lpszPathName = paths[i].c_str();
    files[i].lpszFileName = names[i].c_str();
  }
  message.nFileCount = ULONG(files.size());
  message.lpFiles = files.empty() ? nullptr : files.data();

  std::vector<TRecipient> recipients;
  for (int i = 0; i < recipients_->Count(); ++i) {
    TRecipient r;
    std::string text = recipients_->Strings(i);
    r.Class = RecipientClass(text);
    r.Name = r.Address = text;
    if (ResolveNames) {
      MapiRecipDesc* resolved = nullptr;
      ULONG rc = MAPIResolveName(session, 0, text.c_str(), 0, 0, &resolved);
      if (rc == MAPI_E_UNKNOWN_RECIPIENT || rc == MAPI_E_AMBIGUOUS_RECIPIENT)
        rc = MAPIResolveName(session, 0, text.c_str(), MAPI_DIALOG, 0, &resolved);
      // A name that does not resolve goes as typed, as it does without resolving.
      if (rc == SUCCESS_SUCCESS && resolved) {
        r.Name = resolved->lpszName ? resolved->lpszName : text;
        r.Address = resolved->lpszAddress ? resolved->lpszAddress : r.Name;
        const auto* id = static_cast<const uint8_t*>(resolved->lpEntryID);
        if (id) r.EntryId.assign(id, id + resolved->ulEIDSize);
      }
      MAPIFreeBuffer(resolved);
    }
    recipients.push_back(std::move(r));
  }
  std::vector<MapiRecipDesc> recips(recipients.size());
  for (size_t i = 0; i < recipients.size(); ++i) {
    recips[i].ulRecipClass = recipients[i].Class;
    recips[i].lpszName = recipients[i].Name.c_str();
    recips[i].lpszAddress = recipients[i].Address.c_str();
    recips[i].ulEIDSize = ULONG(recipients[i].EntryId.size());
    recips[i].lpEntryID = recipients[i].EntryId.empty() ? nullptr : recipients[i].EntryId.data();
  }
  message.nRecipCount = ULONG(recips.size());
  message.lpRecips = recips.empty() ? nullptr : recips.data();

  ULONG flags = MAPI_LOGON_UI;
  if (EditDialog) flags |= MAPI_DIALOG;
  if (!session) flags |= MAPI_LOGON_UI | MAPI_NEW_SESSION;
  FLastError = int(MAPISendMail(0, 0, &message, flags, 0));
  if (session) MAPILogoff(session, 0, 0, 0);
  return FLastError == 0;
}

std::string MapiErrorText(int Code) {
  static const char* const kTexts[] = {
      "User cancelled request", "General MAPI failure",  "Logon failure",         "Disk full",
      "Insufficient memory",    "Access denied",         nullptr,                 "Too many sessions",
      "Too many files open",    "Too many recipients",   "Attachment not found",  "Failed to open attachment",
      "Failed to write attachment", "Unknown recipient", "Invalid recipient type", "No messages",
      "Invalid message",        "Text too large.",       "Invalid session",       "Type not supported",
      "Ambiguous recipient",    "Message in use",        "Network failure",       "Invalid edit fields",
      "Invalid recipients",     "Not supported"};
  if (Code >= 1 && Code <= 26 && kTexts[Code - 1]) return _(kTexts[Code - 1]);
  return _("Unknown Error Code: ") + IntToStr(Code);
}
