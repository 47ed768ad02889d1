// E-mail through the Simple MAPI stand-in: handed to the desktop's mail program (a
// stand-in xdg-email on PATH records what it was given) with copies of the attachments
// that outlive the caller's files; where no mail program takes it, a MIME file in the
// outbox that Python's email module reads back with every attachment byte for byte; the
// result codes of failures; the mail component's recipients and attachment names; the
// explorer's send-to; and the compression center's e-mail run.

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "SaveImageFixture.h"
#include "controls/ZqSpeedButton.h"
#include "core/Diversen.h"
#include "core/Unit1.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/Mail.h"
#include "platform/shell/ShellExplorer.h"
#include "tools/QuenSimpelMail.h"
#include "tools/SendMail.h"
#include "tools/UnitSaveImage.h"

namespace fs = std::filesystem;

namespace {

// PATH for the life of the object: a folder of the test's own in front (or alone).
class ScopedPath {
 public:
  ScopedPath(const std::string& folder, bool alone) : old_(GetEnvironmentVariable("PATH")) {
    setenv("PATH", (alone ? folder : folder + ":" + old_).c_str(), 1);
  }
  ~ScopedPath() { setenv("PATH", old_.c_str(), 1); }

 private:
  std::string old_;
};

// A folder with an xdg-email that writes its arguments, one a line, into log and ends with
// exitCode, and an xdg-mime that names handler as the program for mail addresses.
// Returns the folder.
std::string MailProgramStandIn(const std::string& log, int exitCode, const std::string& handler = "kivo-mail.desktop") {
  const std::string bin = testsupport::TempPath("bin");
  fs::create_directories(bin);
  testsupport::WriteFile(bin + "/xdg-email", "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + log +
                                                 "'\nexit " + std::to_string(exitCode) + "\n");
  testsupport::WriteFile(bin + "/xdg-mime", "#!/bin/sh\n[ \"$*\" = 'query default x-scheme-handler/mailto' ] && echo '" +
                                                handler + "'\nexit 0\n");
  for (const char* program : {"/xdg-email", "/xdg-mime"}) chmod((bin + program).c_str(), 0755);
  return bin;
}

// What the stand-in mail program was given: the files to attach, and the subject.
std::vector<std::string> HandedOver(const std::string& log, std::string& subject) {
  const auto args = testsupport::Lines(testsupport::ReadFile(log));
  std::vector<std::string> attached;
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--attach") attached.push_back(args[i + 1]);
    if (args[i] == "--subject") subject = args[i + 1];
  }
  return attached;
}

// What Python's email module reads in a message file: its headers (Subject, To, Cc, Bcc,
// X-Unsent), then each attachment's name and bytes (the bytes written into folder under
// numbered names).
struct ParsedMail {
  std::map<std::string, std::string> headers;
  std::vector<std::string> names, bodies;
  std::string note;
};

ParsedMail ParseWithPython(const std::string& file) {
  const std::string folder = testsupport::TempPath("parsed");
  fs::remove_all(folder);
  fs::create_directories(folder);
  const char* script = R"(
import email, os, sys
from email import policy
msg = email.message_from_bytes(open(sys.argv[1], 'rb').read(), policy=policy.default)
for h in ('Subject', 'To', 'Cc', 'Bcc', 'X-Unsent', 'MIME-Version'):
    if msg[h] is not None:
        print('H ' + h + '=' + str(msg[h]))
body = msg.get_body(preferencelist=('plain',))
if body is not None:
    print('N ' + body.get_content().strip().replace('\n', ' '))
for i, part in enumerate(msg.iter_attachments()):
    open(os.path.join(sys.argv[2], str(i)), 'wb').write(part.get_payload(decode=True))
    print('A ' + part.get_filename())
)";
  auto r = testsupport::Run({"python3", "-c", script, file, folder});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  ParsedMail mail;
  for (const std::string& line : testsupport::Lines(r.out)) {
    if (line.rfind("H ", 0) == 0) {
      const size_t eq = line.find('=');
      mail.headers[line.substr(2, eq - 2)] = line.substr(eq + 1);
    } else if (line.rfind("A ", 0) == 0) {
      mail.names.push_back(line.substr(2));
      mail.bodies.push_back(testsupport::ReadFile(folder + "/" + std::to_string(mail.names.size() - 1)));
    } else if (line.rfind("N ", 0) == 0) {
      mail.note = line.substr(2);
    }
  }
  return mail;
}

std::vector<std::string> OutboxFiles() {
  std::vector<std::string> files;
  if (fs::exists(MailOutboxFolder()))
    for (const auto& e : fs::directory_iterator(MailOutboxFolder())) files.push_back(e.path().string());
  return files;
}

class MailTest : public testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    ModalResponder::Reset();
    ModalResponder::SetFailureHook([](const std::string& message) { ADD_FAILURE() << message; });
    empty_ = testsupport::TempPath("nothing");
    fs::create_directories(empty_);
  }
  void TearDown() override {
    EXPECT_EQ(ModalResponder::Pending(), 0);
    ClearFileFaults();
  }
  // Two pictures and a file of every byte value, with names the receiver sees.
  std::vector<std::string> MakeAttachments() {
    const std::string a = testsupport::TempPath("Zürich 1.jpg"), b = testsupport::TempPath("bytes.bin");
    auto r = testsupport::Run({"convert", "-size", "40x30", "plasma:", a});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::string all;
    for (int i = 0; i < 4096; ++i) all += char(i * 7 % 256);
    testsupport::WriteFile(b, all);
    return {a, b};
  }
  std::string empty_;
};

}  // namespace

TEST_F(MailTest, AMailProgramGetsTheMessageWithCopiesThatOutliveTheCallersFiles) {
  const std::string log = testsupport::TempPath("args.txt");
  ScopedPath path(MailProgramStandIn(log, 0), false);
  const auto files = MakeAttachments();
  std::vector<std::string> bytes;
  for (const auto& f : files) bytes.push_back(testsupport::ReadFile(f));
  TStringList list;
  list.AddStrings(files);
  EXPECT_EQ(SendSimpleMail("2 file(s) attached", nullptr, &list), 0);
  EXPECT_EQ(LastMailOutboxFile(), "");
  // The caller deletes its files at once, as the save window does.
  for (const auto& f : files) fs::remove(f);
  std::string subject;
  const std::vector<std::string> attached = HandedOver(log, subject);
  EXPECT_EQ(subject, "2 file(s) attached");
  ASSERT_EQ(attached.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(fs::path(attached[i]).filename(), fs::path(files[i]).filename());
    EXPECT_EQ(attached[i].rfind(MailSpoolFolder(), 0), 0u) << attached[i];
    EXPECT_EQ(testsupport::ReadFile(attached[i]), bytes[i]);
  }
  EXPECT_TRUE(OutboxFiles().empty());
  // An empty list sends a message without files.
  TStringList none;
  EXPECT_EQ(SendSimpleMail("nothing attached", nullptr, &none), 0);
  EXPECT_TRUE(HandedOver(log, subject).empty());
  EXPECT_EQ(subject, "nothing attached");
}

TEST_F(MailTest, WithoutAMailProgramTheMessageIsAMimeFileInTheOutbox) {
  KIVO2_REQUIRE_TOOL("python3");
  const auto files = MakeAttachments();
  std::vector<std::string> bytes;
  for (const auto& f : files) bytes.push_back(testsupport::ReadFile(f));
  const std::string log = testsupport::TempPath("args.txt");
  // No xdg-email at all; one that finds no mail program (its exit code 3); and a desktop
  // that names no program for mail addresses, where xdg-email (which would hand the
  // message to a web browser that drops the attachments) is not asked at all.
  enum { kNone, kNotFound, kNotNamed };
  for (int standIn : {kNone, kNotFound, kNotNamed}) {
    SCOPED_TRACE(standIn);
    for (const auto& f : OutboxFiles()) fs::remove(f);
    fs::remove(log);
    ScopedPath path(standIn == kNone       ? empty_
                    : standIn == kNotFound ? MailProgramStandIn(log, 3)
                                           : MailProgramStandIn(log, 0, ""),
                    standIn == kNone);
    TStringList list;
    list.AddStrings(files);
    std::string told;
    ModalResponder::Expect(ModalKind::ShowMessage, [&](ModalRequest& r) {
      told = r.text;
      return 1;
    });
    EXPECT_EQ(SendSimpleMail("Pictures from Zürich", "See the attachments.", &list), 0);
    const auto outbox = OutboxFiles();
    ASSERT_EQ(outbox.size(), 1u);
    EXPECT_EQ(LastMailOutboxFile(), outbox[0]);
    EXPECT_EQ(fs::path(outbox[0]).extension(), ".eml");
    EXPECT_NE(told.find(outbox[0]), std::string::npos) << told;
    // Every line ends in CR LF.
    const std::string raw = testsupport::ReadFile(outbox[0]);
    for (size_t i = raw.find('\n'); i != std::string::npos; i = raw.find('\n', i + 1))
      ASSERT_EQ(raw[i - 1], '\r') << "at " << i;
    const ParsedMail mail = ParseWithPython(outbox[0]);
    EXPECT_EQ(mail.headers.at("Subject"), "Pictures from Zürich");
    EXPECT_EQ(mail.headers.at("MIME-Version"), "1.0");
    EXPECT_EQ(mail.note, "See the attachments.");
    EXPECT_EQ(mail.names, (std::vector<std::string>{"Zürich 1.jpg", "bytes.bin"}));
    EXPECT_EQ(mail.bodies, bytes);
    EXPECT_EQ(fs::exists(log), standIn == kNotFound);
    // Only the outbox file is left: nothing of the spool.
    if (fs::exists(MailSpoolFolder()))
      for (const auto& e : fs::directory_iterator(MailSpoolFolder())) ADD_FAILURE() << e.path();
  }
}

TEST_F(MailTest, FailuresGiveTheirResultCodesAndLeaveNothing) {
  ScopedPath path(empty_, true);
  const auto files = MakeAttachments();
  auto send = [](const std::vector<std::string>& attach, ULONG flags) {
    std::vector<MapiFileDesc> descs(attach.size());
    for (size_t i = 0; i < attach.size(); ++i) descs[i].lpszPathName = attach[i].c_str();
    MapiMessage m;
    m.lpszSubject = "s";
    m.nFileCount = ULONG(descs.size());
    m.lpFiles = descs.data();
    return MAPISendMail(0, 0, &m, flags, 0);
  };
  EXPECT_EQ(send({files[0], testsupport::TempPath("missing.jpg")}, MAPI_DIALOG), MAPI_E_ATTACHMENT_NOT_FOUND);
  {
    TFileFaultScope unreadable(TFileFaultOp::Open, EACCES, files[1]);
    EXPECT_EQ(send(files, MAPI_DIALOG), MAPI_E_ATTACHMENT_OPEN_FAILURE);
  }
  EXPECT_EQ(send(files, 0), MAPI_E_INVALID_RECIPS);  // no compose window and nobody to send to
  EXPECT_EQ(MAPISendMail(0, 0, nullptr, MAPI_DIALOG, 0), MAPI_E_INVALID_MESSAGE);
  {
    TFileFaultScope full(TFileFaultOp::Write, ENOSPC, ".message-", 0, -1);
    EXPECT_EQ(send(files, MAPI_DIALOG), MAPI_E_DISK_FULL);
  }
  {
    TFileFaultScope refused(TFileFaultOp::Rename, EACCES, ".message-", 0, -1);
    EXPECT_EQ(send(files, MAPI_DIALOG), MAPI_E_ACCESS_DENIED);
  }
  EXPECT_TRUE(OutboxFiles().empty());
  // The library: only its own name loads, and it has only its own calls.
  EXPECT_EQ(MapiLoadLibrary("other.dll"), nullptr);
  TMapiLibrary library = MapiLoadLibrary("mapi32.dll");
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(MapiGetProcAddress(library, "MAPISendMail"), reinterpret_cast<void*>(&MAPISendMail));
  EXPECT_EQ(MapiGetProcAddress(library, "MAPISendDocuments"), nullptr);
}

TEST_F(MailTest, TheMailComponentSendsRecipientsByClassAndNamesItsAttachments) {
  KIVO2_REQUIRE_TOOL("python3");
  ScopedPath path(empty_, true);
  const auto files = MakeAttachments();
  TMAPIMail mail(nullptr);
  mail.Subject = "Compare";
  TStringList recipients, names;
  recipients.AddStrings({"ann@example.org", "cc:bob@example.org", "BCC:carl@example.org", "dirk"});
  mail.SetRecipients(&recipients);
  TStringList attachments;
  attachments.AddStrings(files);
  mail.SetAttachments(&attachments);
  names.Add("Shown name.jpg");
  mail.SetAttachmentNames(&names);
  mail.ResolveNames = true;
  ModalResponder::Expect(ModalKind::ShowMessage, 1);
  EXPECT_TRUE(mail.SendMail());
  EXPECT_EQ(mail.LastError(), 0);
  ASSERT_EQ(OutboxFiles().size(), 1u);
  const ParsedMail parsed = ParseWithPython(OutboxFiles()[0]);
  // A name that does not resolve goes as typed.
  EXPECT_EQ(parsed.headers.at("To"), "ann@example.org, dirk");
  EXPECT_EQ(parsed.headers.at("Cc"), "bob@example.org");
  EXPECT_EQ(parsed.headers.at("Bcc"), "carl@example.org");
  EXPECT_EQ(parsed.headers.at("X-Unsent"), "1");
  EXPECT_EQ(parsed.names, (std::vector<std::string>{"Shown name.jpg", "bytes.bin"}));

  // The resolver's one block holds the record, its texts and the entry id.
  MapiRecipDesc* r = nullptr;
  ASSERT_EQ(MAPIResolveName(0, 0, "eve@example.org", 0, 0, &r), SUCCESS_SUCCESS);
  EXPECT_STREQ(r->lpszName, "eve@example.org");
  EXPECT_STREQ(r->lpszAddress, "eve@example.org");
  EXPECT_GT(r->ulEIDSize, 0u);
  EXPECT_EQ(MAPIFreeBuffer(r), SUCCESS_SUCCESS);
  EXPECT_EQ(MAPIFreeBuffer(r), MAPI_E_FAILURE);
  EXPECT_EQ(MAPIResolveName(0, 0, "eve", 0, 0, &r), MAPI_E_UNKNOWN_RECIPIENT);

  for (auto [code, text] : std::map<int, std::string>{{1, "User cancelled request"}, {11, "Attachment not found"},
                                                      {18, "Text too large."}, {26, "Not supported"},
                                                      {7, "Unknown Error Code: 7"}, {27, "Unknown Error Code: 27"},
                                                      {-1, "Unknown Error Code: -1"}})
    EXPECT_EQ(MapiErrorText(code), text);
}

TEST_F(SaveImageTest, TheExplorersMailRecipientGoesThroughTheMailSender) {
  KIVO2_REQUIRE_TOOL("python3");
  const std::string empty = testsupport::TempPath("nothing");
  fs::create_directories(empty);
  ScopedPath path(empty, true);
  const std::string file = MakePicture("send.jpg", 50, 40);
  Answer(ModalKind::ShowMessage, 1);
  EXPECT_TRUE(MailFiles({file}));
  ASSERT_EQ(OutboxFiles().size(), 1u);
  const ParsedMail mail = ParseWithPython(OutboxFiles()[0]);
  EXPECT_EQ(mail.headers.at("Subject"), "1 file attached");
  ASSERT_EQ(mail.names.size(), 1u);
  EXPECT_EQ(mail.bodies[0], testsupport::ReadFile(file));
}

TEST_F(SaveImageTest, TheMailRunAttachesResampledCopiesAndTouchesNoOtherFile) {
  KIVO2_REQUIRE_TOOL("exiftool");
  const std::string log = testsupport::TempPath("args.txt");
  ScopedPath path(MailProgramStandIn(log, 0), false);
  // Two sources of one name (a search list) and one that lies in the temporary folder.
  const std::string one = testsupport::TempPath("one") + "/", two = testsupport::TempPath("two") + "/";
  fs::create_directories(one);
  fs::create_directories(two);
  const std::string a = MakeTaggedPicture(one + "same.jpg", 1000, 800, {"-Make=KivoCam", "-Orientation#=6"});
  const std::string b = MakePicture(two + "same.jpg", 800, 1000);
  // The first, taken with the camera on its side, is turned upright first: its copy shows
  // upright everywhere too.
  ListPictures({a});
  Form1->ListBox1->SetSelected(0, true);
  Form1->RotateRight2->Click();
  const std::string inTemp = MakePicture(GetTempFolder() + "same.jpg", 700, 500);
  const std::string tempBytes = testsupport::ReadFile(inTemp);
  RunWindow({a, b, inTemp}, [&] { FormSaveImage->Zq_Mail->Click(); });
  EXPECT_TRUE(Texts().empty());
  EXPECT_EQ(testsupport::ReadFile(inTemp), tempBytes);
  std::string subject;
  const std::vector<std::string> attached = HandedOver(log, subject);
  EXPECT_EQ(subject, "3 files attached, resampled by Kivo2");
  ASSERT_EQ(attached.size(), 3u);
  EXPECT_EQ(fs::path(attached[0]).filename(), "same.jpg");
  EXPECT_EQ(fs::path(attached[1]).filename(), "same (2).jpg");
  EXPECT_EQ(fs::path(attached[2]).filename(), "same (3).jpg");
  EXPECT_EQ(Geometry(attached[0]), "512x640");
  EXPECT_EQ(Metadata(attached[0])["IFD0:Orientation"], "1");
  EXPECT_EQ(testsupport::Run({"convert", attached[0], "-auto-orient", "-format", "%wx%h", "info:"}).out, "512x640");
  EXPECT_EQ(Geometry(attached[1]), "512x640");
  EXPECT_EQ(Geometry(attached[2]), "640x457");
  EXPECT_EQ(Metadata(attached[0])["IFD0:Make"], "KivoCam");
  // The run's own attachment folder is gone.
  for (const auto& e : fs::directory_iterator(GetTempFolder()))
    EXPECT_EQ(e.path().filename().string().rfind("kivo2-mail-", 0), std::string::npos) << e.path();
}

TEST_F(SaveImageTest, AMailThatCannotBeHandedOverIsReported) {
  const std::string empty = testsupport::TempPath("nothing");
  fs::create_directories(empty);
  ScopedPath path(empty, true);
  MakePicture("a.jpg", 300, 200);
  MakePicture("b.jpg", 300, 200);
  TFileFaultScope full(TFileFaultOp::Write, ENOSPC, ".message-", 0, -1);
  RunWindow({"a.jpg", "b.jpg"}, [&] {
    Answer(ModalKind::ShowMessage, 1);
    FormSaveImage->Zq_Mail->Click();
  });
  ASSERT_EQ(Texts().size(), 1u);
  EXPECT_EQ(Texts()[0], "The e-mail could not be handed to the mail program: Disk full");
  EXPECT_TRUE(OutboxFiles().empty());
}
