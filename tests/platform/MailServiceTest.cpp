// The Simple MAPI stand-in's message file, made without a mail program: every attachment
// in it byte for byte as Python's email module reads it back (this test also runs in the
// sanitizer build, which sees the MIME writer at work).

#include <filesystem>

#include "TestSupport.h"
#include "platform/gui/Forms.h"
#include "platform/gui/ModalResponder.h"
#include "platform/rtl/SysUtils.h"
#include "platform/services/Mail.h"

namespace fs = std::filesystem;

TEST(MailService, TheOutboxMessageHoldsEveryAttachmentWhole) {
  KIVO2_REQUIRE_TOOL("python3");
  Application->Initialize();
  const std::string nothing = testsupport::TempPath("nothing");
  fs::create_directories(nothing);
  const std::string oldPath = GetEnvironmentVariable("PATH");
  setenv("PATH", nothing.c_str(), 1);
  // Sizes around the base64 groups and lines, and every byte value.
  std::vector<std::string> paths, names;
  for (size_t size : {0u, 1u, 2u, 3u, 56u, 57u, 58u, 100000u}) {
    std::string bytes;
    for (size_t i = 0; i < size; ++i) bytes += char((i * 131 + size) % 256);
    paths.push_back(testsupport::TempPath("f" + std::to_string(size) + ".bin"));
    names.push_back("name " + std::to_string(size) + " é.bin");
    testsupport::WriteFile(paths.back(), bytes);
  }
  std::vector<MapiFileDesc> files(paths.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    files[i].lpszPathName = paths[i].c_str();
    files[i].lpszFileName = names[i].c_str();
  }
  MapiMessage message;
  message.lpszSubject = "Tést";
  message.nFileCount = ULONG(files.size());
  message.lpFiles = files.data();
  ModalResponder::Expect(ModalKind::ShowMessage, 1);
  const ULONG rc = MAPISendMail(0, 0, &message, MAPI_DIALOG, 0);
  setenv("PATH", oldPath.c_str(), 1);
  ASSERT_EQ(rc, SUCCESS_SUCCESS);
  const std::string eml = LastMailOutboxFile();
  ASSERT_TRUE(fs::exists(eml));
  const char* script = R"(
import email, hashlib, sys
from email import policy
m = email.message_from_bytes(open(sys.argv[1], 'rb').read(), policy=policy.default)
print(m['Subject'])
for p in m.iter_attachments():
    print(p.get_filename() + '|' + hashlib.sha256(p.get_payload(decode=True)).hexdigest())
)";
  auto r = testsupport::Run({"python3", "-c", script, eml});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string expected = "Tést\n";
  for (size_t i = 0; i < paths.size(); ++i) {
    auto sum = testsupport::Run({"sha256sum", paths[i]});
    expected += names[i] + "|" + sum.out.substr(0, 64) + "\n";
  }
  EXPECT_EQ(r.out, expected);
}
