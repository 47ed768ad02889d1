#pragma once
// The simple mail sender: hands a subject, a note and files to attach to the user's mail
// program through Simple MAPI, always with the mail program's compose window, in which
// the user adds the recipients.
#include <string>
#include <vector>

class TStrings;

// Returns the Simple MAPI result: 0 when the mail program (or the outbox) took the message,
// the MAPISendMail code otherwise, -1 when the mail library cannot be loaded and
// MAPI_E_FAILURE when it lacks its send call. A null subject or body leaves that field
// out. Every attachment has been read when it returns, so the caller may delete them.
int SendSimpleMail(const char* Subject, const char* Body, const TStrings* Attachments);

// The explorer's send-to "Mail recipient" and the main window's unmodified e-mail: the
// files attached, the subject counting them. True when the message was taken.
bool MailFilesUnmodified(const std::vector<std::string>& Files);
