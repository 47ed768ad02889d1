#pragma once
// Simple MAPI: the records and calls with which the program hands a message with
// attachments to the user's mail program, and the library that holds them.
//
// On Linux the calls are served by our own stand-in. MAPISendMail reads every
// attachment before it returns (callers delete their files right after it), then
// hands the message to the desktop's mail program (xdg-email, with copies of the
// attachments kept in a spool folder, since the mail program reads them later). Where
// the desktop names no program for mail addresses (xdg-mime) or none takes the message,
// it is written as a MIME file (.eml, with every attachment in it) into the outbox
// folder, and the user is told where it lies.
#include <cstdint>
#include <string>

using ULONG = uint32_t;
using LHANDLE = uintptr_t;

// Recipient classes.
constexpr ULONG MAPI_ORIG = 0, MAPI_TO = 1, MAPI_CC = 2, MAPI_BCC = 3;
// Flags of the calls.
constexpr ULONG MAPI_LOGON_UI = 0x1, MAPI_NEW_SESSION = 0x2, MAPI_DIALOG = 0x8;
// Results.
constexpr ULONG SUCCESS_SUCCESS = 0, MAPI_USER_ABORT = 1, MAPI_E_FAILURE = 2, MAPI_E_LOGON_FAILURE = 3,
                MAPI_E_DISK_FULL = 4, MAPI_E_INSUFFICIENT_MEMORY = 5, MAPI_E_ACCESS_DENIED = 6,
                MAPI_E_TOO_MANY_SESSIONS = 8, MAPI_E_TOO_MANY_FILES = 9, MAPI_E_TOO_MANY_RECIPIENTS = 10,
                MAPI_E_ATTACHMENT_NOT_FOUND = 11, MAPI_E_ATTACHMENT_OPEN_FAILURE = 12,
                MAPI_E_ATTACHMENT_WRITE_FAILURE = 13, MAPI_E_UNKNOWN_RECIPIENT = 14, MAPI_E_BAD_RECIPTYPE = 15,
                MAPI_E_NO_MESSAGES = 16, MAPI_E_INVALID_MESSAGE = 17, MAPI_E_TEXT_TOO_LARGE = 18,
                MAPI_E_INVALID_SESSION = 19, MAPI_E_TYPE_NOT_SUPPORTED = 20, MAPI_E_AMBIGUOUS_RECIPIENT = 21,
                MAPI_E_MESSAGE_IN_USE = 22, MAPI_E_NETWORK_FAILURE = 23, MAPI_E_INVALID_EDITFIELDS = 24,
                MAPI_E_INVALID_RECIPS = 25, MAPI_E_NOT_SUPPORTED = 26;

struct MapiRecipDesc {
  ULONG ulReserved = 0;
  ULONG ulRecipClass = MAPI_TO;
  const char* lpszName = nullptr;
  const char* lpszAddress = nullptr;
  ULONG ulEIDSize = 0;
  void* lpEntryID = nullptr;
};

struct MapiFileDesc {
  ULONG ulReserved = 0;
  ULONG flFlags = 0;
  ULONG nPosition = 0xFFFFFFFF;        // no place in the text
  const char* lpszPathName = nullptr;  // the file to attach (full path)
  const char* lpszFileName = nullptr;  // the name the receiver sees (nullptr: the path's name)
  void* lpFileType = nullptr;
};

struct MapiMessage {
  ULONG ulReserved = 0;
  const char* lpszSubject = nullptr;
  const char* lpszNoteText = nullptr;
  const char* lpszMessageType = nullptr;
  const char* lpszDateReceived = nullptr;
  const char* lpszConversationID = nullptr;
  ULONG flFlags = 0;
  MapiRecipDesc* lpOriginator = nullptr;
  ULONG nRecipCount = 0;
  MapiRecipDesc* lpRecips = nullptr;
  ULONG nFileCount = 0;
  MapiFileDesc* lpFiles = nullptr;
};

// Sends the message. Attachments that do not exist give MAPI_E_ATTACHMENT_NOT_FOUND,
// ones that cannot be read MAPI_E_ATTACHMENT_OPEN_FAILURE; without MAPI_DIALOG a message
// needs a recipient (MAPI_E_INVALID_RECIPS). A mail program that took the message, or an
// outbox file written, gives SUCCESS_SUCCESS; an outbox that cannot be written
// MAPI_E_DISK_FULL, MAPI_E_ACCESS_DENIED or MAPI_E_FAILURE. The session and the parent
// window are not used.
ULONG MAPISendMail(LHANDLE session, uintptr_t uiParam, const MapiMessage* message, ULONG flags, ULONG reserved);
// Opens a session (a token; there is no profile to log on to).
ULONG MAPILogon(uintptr_t uiParam, const char* profileName, const char* password, ULONG flags, ULONG reserved,
                LHANDLE* session);
ULONG MAPILogoff(LHANDLE session, uintptr_t uiParam, ULONG flags, ULONG reserved);
// A name that is a mail address (it holds '@') resolves to itself: *recip receives one
// block, freed with MAPIFreeBuffer, that holds the record, its texts and its entry id.
// Other names give MAPI_E_UNKNOWN_RECIPIENT.
ULONG MAPIResolveName(LHANDLE session, uintptr_t uiParam, const char* name, ULONG flags, ULONG reserved,
                      MapiRecipDesc** recip);
// Frees a block the calls above handed out; SUCCESS_SUCCESS for nullptr too.
ULONG MAPIFreeBuffer(void* buffer);

// The library of the calls, found by its name: "MAPI32.DLL" (letter case ignored) is the
// stand-in above; another name loads nothing (nullptr). An entry point is found by its
// name ("MAPISendMail" ...); nullptr for a name the library lacks.
using TMapiLibrary = const struct TMapiLibraryInfo*;
TMapiLibrary MapiLoadLibrary(const std::string& name);
void* MapiGetProcAddress(TMapiLibrary library, const std::string& procName);
void MapiFreeLibrary(TMapiLibrary library);

// Where messages wait that no mail program took: $XDG_DATA_HOME/Kivo2/outbox, or the
// folder set here ("" restores that).
std::string MailOutboxFolder();
void SetMailOutboxFolder(const std::string& folder);
// Where the copies of attachments handed to a mail program stay until it has read them:
// $XDG_CACHE_HOME/Kivo2/mail-spool. Copies older than a week go at the next send.
std::string MailSpoolFolder();
// The last message MAPISendMail handed over: the outbox file it wrote, or "" when a mail
// program took it.
std::string LastMailOutboxFile();
