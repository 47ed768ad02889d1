#pragma once
// The mail component: a message with a sender, recipients ("CC:" and "BCC:" prefixes
// choose the class) and attachments with the names the receiver sees, sent through
// Simple MAPI, with or without the mail program's compose window.
#include <memory>
#include <string>

#include "platform/rtl/Classes.h"

class TMAPIMail : public TComponent {
 public:
  explicit TMAPIMail(TComponent* AOwner);
  ~TMAPIMail() override;

  std::string Subject;
  std::string Body;
  std::string SenderName;
  // An originator is sent only when the address is set.
  std::string SenderAddress;
  TStrings* Recipients() const { return recipients_.get(); }
  void SetRecipients(const TStrings* lines);
  TStrings* Attachments() const { return attachments_.get(); }
  void SetAttachments(const TStrings* lines);
  // By position; a missing name is the file-name part of the attachment's path.
  TStrings* AttachmentNames() const { return attachmentNames_.get(); }
  void SetAttachmentNames(const TStrings* lines);
  bool EditDialog = true;
  bool ResolveNames = false;
  // Asks for a read receipt; the mail programs on this system are not asked for one.
  bool RequestReceipt = false;

  // Sends the message; True when the result code (kept in LastError) is 0. Raises an
  // exception "MAPI Error %d: %s" when logging on to a found default profile fails.
  bool SendMail();
  int LastError() const { return FLastError; }

 private:
  std::unique_ptr<TStringList> recipients_, attachments_, attachmentNames_;
  int FLastError = 0;
};

// The text of a Simple MAPI result code; "Unknown Error Code: " and the number for others.
std::string MapiErrorText(int Code);
