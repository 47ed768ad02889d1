// String lists: case-blind lookup and sorting, sorted lists with their duplicate
// rules, Name=Value lines, Text and CommaText quoting, loading and saving files with any
// line end and either encoding, and a stored list changed under a lock of its folder.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "RtlTestHelpers.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileFaults.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempPath;
using testsupport::WriteFile;

std::vector<std::string> Lines(const TStrings& l) { return l.ToVector(); }

// A process in the middle of a change of the list f (its line "lost" not written yet) until
// it is killed.
pid_t InTheMiddleOfAChange(const std::string& f) {
  int held[2];
  EXPECT_EQ(pipe(held), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    ChangeListFile(f, [&](TStringList& lines) {
      lines.Add("lost");
      EXPECT_EQ(write(held[1], "!", 1), 1);
      pause();
      return true;
    });
    _exit(0);
  }
  char c;
  EXPECT_EQ(read(held[0], &c, 1), 1);
  close(held[0]);
  close(held[1]);
  return pid;
}

TEST(RtlStringList, LookupIgnoresCaseUnlessAsked) {
  TStringList l;
  l.AddStrings(std::vector<std::string>{"Paris.JPG", "rome.jpg", "\xC3\x89t\xC3\xA9.jpg"});
  EXPECT_EQ(l.IndexOf("paris.jpg"), 0);
  EXPECT_EQ(l.IndexOf("ROME.JPG"), 1);
  EXPECT_EQ(l.IndexOf("\xC3\xA9T\xC3\x89.JPG"), 2);
  EXPECT_EQ(l.IndexOf("berlin.jpg"), -1);
  l.SetCaseSensitive(true);
  EXPECT_EQ(l.IndexOf("paris.jpg"), -1);
  EXPECT_EQ(l.IndexOf("Paris.JPG"), 0);
  EXPECT_THROW(l.Strings(3), EStringListError);
  EXPECT_THROW(l.Delete(-1), EStringListError);
  EXPECT_THROW(l.Insert(5, "x"), EStringListError);
  try {
    l.Objects(7);
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (7)");
  }
}

// The case-blind sort must give what a stable "sort -f" gives in the C locale.
TEST(RtlStringList, SortAgreesWithSortIgnoringCase) {
  KIVO2_REQUIRE_TOOL("sort");
  std::vector<std::string> in = {"b.jpg", "A.jpg", "a.jpg", "_x", "B2", "b1", "Z", "10", "9", "a_b", "aB", "[a]", ""};
  std::string input;
  for (const auto& s : in) input += s + "\n";
  setenv("LC_ALL", "C", 1);
  auto r = testsupport::Run({"sort", "-f", "-s"}, input);
  unsetenv("LC_ALL");
  TStringList l;
  l.AddStrings(in);
  for (int i = 0; i < l.Count(); ++i) l.SetData(i, i);
  l.Sort();
  std::string ours;
  for (int i = 0; i < l.Count(); ++i) ours += l[i] + "\n";
  EXPECT_EQ(ours, r.out);
  // Objects travel with their lines.
  for (int i = 0; i < l.Count(); ++i) EXPECT_EQ(in[size_t(l.Data(i))], l[i]);
}

TEST(RtlStringList, SortedListsKeepOrderAndHonourDuplicates) {
  TStringList l;
  l.SetSorted(true);
  EXPECT_EQ(l.Add("m"), 0);
  EXPECT_EQ(l.Add("B"), 0);
  EXPECT_EQ(l.Add("z"), 2);
  EXPECT_EQ(l.Add("b"), 0);  // dupIgnore: the index of the line already there
  EXPECT_EQ(Lines(l), (std::vector<std::string>{"B", "m", "z"}));
  int index = -1;
  EXPECT_TRUE(l.Find("M", index));
  EXPECT_EQ(index, 1);
  EXPECT_FALSE(l.Find("n", index));
  EXPECT_EQ(index, 2);
  EXPECT_EQ(l.IndexOf("Z"), 2);
  l.SetDuplicates(dupError);
  EXPECT_THROW(l.Add("Z"), EStringListError);
  l.SetDuplicates(dupAccept);
  l.Add("Z");
  EXPECT_EQ(l.Count(), 4);
  EXPECT_THROW(l.Insert(0, "a"), EStringListError);
  EXPECT_THROW(l.SetStrings(0, "a"), EStringListError);
  // AddObject on a sorted list keeps the object with its line.
  TObject marker;
  int at = l.AddObject("c", &marker);
  EXPECT_EQ(l[at], "c");
  EXPECT_EQ(l.Objects(at), &marker);
  // Turning sorting on sorts at once.
  TStringList u;
  u.AddStrings(std::vector<std::string>{"y", "X", "a"});
  u.SetSorted(true);
  EXPECT_EQ(Lines(u), (std::vector<std::string>{"a", "X", "y"}));
}

TEST(RtlStringList, AnyComparisonFunctionSortsSafely) {
  TStringList l;
  for (int i = 0; i < 300; ++i) l.Add(std::to_string(i % 17));
  RandSeed = 3;
  l.CustomSort([](TStringList*, int, int) { return Random(3) - 1; });  // not even an order
  EXPECT_EQ(l.Count(), 300);
  l.CustomSort([](TStringList* s, int a, int b) { return StrToInt(s->StringRef(b)) - StrToInt(s->StringRef(a)); });
  EXPECT_EQ(l[0], "16");
  EXPECT_EQ(l[299], "0");
}

TEST(RtlStringList, NameValueLines) {
  TStringList l;
  l.SetText("Width=640\r\nTitle=a=b\r\nnoequals\r\n=x\r\n");
  EXPECT_EQ(l.Values("width"), "640");
  EXPECT_EQ(l.Values("Title"), "a=b");
  EXPECT_EQ(l.Values("noequals"), "");
  EXPECT_EQ(l.Names(1), "Title");
  EXPECT_EQ(l.ValueFromIndex(1), "a=b");
  EXPECT_EQ(l.ValueFromIndex(2), "");  // no separator, no value
  EXPECT_EQ(l.IndexOfName("TITLE"), 1);
  l.SetValues("Height", "480");
  EXPECT_EQ(l[4], "Height=480");
  l.SetValues("WIDTH", "800");
  EXPECT_EQ(l[0], "WIDTH=800");
  l.SetValues("Width", "");
  EXPECT_EQ(l.IndexOfName("Width"), -1);
}

TEST(RtlStringList, TextSplitsAnyLineEndAndJoinsWithCrLf) {
  TStringList l;
  l.SetText("a\r\nb\nc\rd\r\re\n");
  EXPECT_EQ(Lines(l), (std::vector<std::string>{"a", "b", "c", "d", "", "e"}));
  EXPECT_EQ(l.Text(), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
  l.SetText("");
  EXPECT_EQ(l.Count(), 0);
  l.SetText("\r\n");
  EXPECT_EQ(Lines(l), (std::vector<std::string>{""}));
  l.SetText("last");
  EXPECT_EQ(l.Text(), "last\r\n");
}

TEST(RtlStringList, CommaAndDelimitedTextQuoting) {
  TStringList l;
  l.AddStrings(std::vector<std::string>{"a", "b c", "d\"e", "", "f,g", "h\ti"});
  EXPECT_EQ(l.CommaText(), "a,\"b c\",\"d\"\"e\",,\"f,g\",\"h\ti\"");
  TStringList back;
  back.SetCommaText(l.CommaText());
  EXPECT_EQ(Lines(back), Lines(l));
  back.SetCommaText("a, b ,\"c d\" , ,x,");
  EXPECT_EQ(Lines(back), (std::vector<std::string>{"a", "b", "c d", "", "x", ""}));
  back.SetCommaText("one two");  // a blank separates unquoted lines too
  EXPECT_EQ(Lines(back), (std::vector<std::string>{"one", "two"}));
  TStringList one;
  one.Add("");
  EXPECT_EQ(one.CommaText(), "\"\"");
  TStringList d;
  d.SetDelimiter(';');
  d.SetQuoteChar('\'');
  d.SetStrictDelimiter(true);
  d.SetDelimitedText("a b;'c;d';;e");
  EXPECT_EQ(Lines(d), (std::vector<std::string>{"a b", "c;d", "", "e"}));
  EXPECT_EQ(d.DelimitedText(), "a b;'c;d';;e");
  d.SetDelimitedText("'unclosed");
  EXPECT_EQ(Lines(d), (std::vector<std::string>{"unclosed"}));
}

TEST(RtlStringList, LoadingAcceptsEveryLineEndEncodingAndBom) {
  KIVO2_REQUIRE_TOOL("iconv");
  std::string f = TempPath("list.lst");
  TStringList l;
  for (const char* text : {"one\r\ntwo\r\n", "one\ntwo\n", "one\rtwo\r", "\xEF\xBB\xBFone\r\ntwo", "one\ntwo"}) {
    WriteFile(f, text);
    l.LoadFromFile(f);
    EXPECT_EQ(Lines(l), (std::vector<std::string>{"one", "two"})) << text;
  }
  // A line of an old Windows list (a drive or share path) comes out as iconv reads it,
  // whatever the other lines hold; any other line that is not UTF-8 keeps its bytes.
  WriteFile(f, "E:\\caf\xE9\r\n\\\\nas\\\x80 5\r\n");
  const std::string windows = testsupport::Run({"iconv", "-f", "WINDOWS-1252", "-t", "UTF-8", f}).out;
  WriteFile(f, "/fotos/caf\xE9\r\n" + ReadFile(f) + "/fotos/caf\xC3\xA9\r\n");
  l.LoadFromFile(f);
  EXPECT_EQ(l.Text(), "/fotos/caf\xE9\r\n" + windows + "/fotos/caf\xC3\xA9\r\n");
  // Such lines beside Windows paths that are no lines of their own: the list saved again is
  // the file as it was (cmp).
  for (const char* text : {"/fotos/caf\xE9.jpg\r\n", "/fotos/caf\xE9.jpg\r\n/fotos/odd:\\x.jpg\r\n"}) {
    WriteFile(f, text);
    l.LoadFromFile(f);
    l.SaveToFile(f + ".saved");
    EXPECT_EQ(testsupport::Run({"cmp", f, f + ".saved"}).exitCode, 0) << text;
  }
  // Valid UTF-8 stays as it is.
  WriteFile(f, "\xC3\xA9t\xC3\xA9\n");
  l.LoadFromFile(f);
  EXPECT_EQ(l[0], "\xC3\xA9t\xC3\xA9");
  EXPECT_THROW(l.LoadFromFile(TempPath("missing.lst")), EFOpenError);
  TStringStream s("x\ny");
  s.SetPosition(2);
  l.LoadFromStream(s);
  EXPECT_EQ(Lines(l), (std::vector<std::string>{"y"}));
}

TEST(RtlStringList, SavingWritesCrLfUtf8AndReplacesAtomically) {
  std::string dir = TempPath("save");
  ASSERT_TRUE(CreateDir(dir));
  std::string f = dir + "/paperclip.lst";
  TStringList l;
  l.AddStrings(std::vector<std::string>{"/pics/a.jpg", "/pics/\xC3\xA9.jpg", ""});
  l.SaveToFile(f);
  EXPECT_EQ(ReadFile(f), "/pics/a.jpg\r\n/pics/\xC3\xA9.jpg\r\n\r\n");
  TStringList big;
  big.Add(std::string(10000, 'x'));
  {
    rtltest::FileSizeLimit limit(4096);
    EXPECT_THROW(big.SaveToFile(f), EWriteError);
  }
  EXPECT_EQ(ReadFile(f), "/pics/a.jpg\r\n/pics/\xC3\xA9.jpg\r\n\r\n");
  EXPECT_EQ(rtltest::ListFolder(dir), "paperclip.lst\n");
  TStringStream out;
  l.SaveToStream(out);
  EXPECT_EQ(out.DataString(), l.Text());

  // A change holds a lock on the folder that flock(1) sees; its holder killed (and not
  // reaped) lets the next change through at once, its own change unwritten; a lock held
  // too long fails the change.
  const pid_t holder = InTheMiddleOfAChange(f);
  EXPECT_EQ(testsupport::Run({"flock", "-n", dir, "true"}).exitCode, 1);
  kill(holder, SIGKILL);
  const uint64_t start = GetTickCount64();
  EXPECT_TRUE(ChangeListFile(f, [](TStringList& lines) { return lines.Add("next") >= 0; }));
  EXPECT_LT(GetTickCount64() - start, 1000u);
  EXPECT_EQ(rtltest::ToolLine({"sh", "-c", "tail -n 1 \"$0\"; grep -c lost \"$0\"", f}), "next\r\n0");
  {
    // Within one program a second lock joins the first, and the folder stays locked for
    // other programs until the last holder lets go.
    TFolderLock lock(f);
    { TFolderLock again(f, 50); }
    EXPECT_EQ(testsupport::Run({"flock", "-n", dir, "true"}).exitCode, 1);
  }
  EXPECT_EQ(testsupport::Run({"flock", "-n", dir, "true"}).exitCode, 0);
  waitpid(holder, nullptr, 0);
}

// Another program holds the folder (flock(1)): a change waits and then lands, and the locks
// of one action wait once in all. Where the folder cannot be locked (NFS locks only files
// open for writing: EBADF) the hidden lock file stands in, and two processes that use it
// exclude each other; where neither can be locked the change fails and the list stays.
TEST(RtlStringList, ChangesWaitForOtherHoldersAndNeverGoOnUnlocked) {
  const std::string dir = TempPath("held"), f = dir + "/shows.lst", lockFile = dir + "/" + kFolderLockFileName;
  ASSERT_TRUE(CreateDir(dir));
  WriteFile(f, "a\r\n");
  auto add = [&](const std::string& line) { return ChangeListFile(f, [&](TStringList& l) { return l.Add(line) >= 0; }); };
  auto locked = [](const std::string& path) { return testsupport::Run({"flock", "-n", path, "true"}).exitCode == 1; };
  {
    testsupport::HeldLock other(dir, "0.6");
    const uint64_t start = GetTickCount64();
    EXPECT_TRUE(add("b"));
    EXPECT_GE(GetTickCount64() - start, 300u);
  }
  {
    testsupport::HeldLock other(dir, "10");
    const uint64_t start = GetTickCount64();
    TLockWaitScope action;
    for (int list = 0; list < 3; ++list) EXPECT_THROW(TFolderLock(f, 300), EFOpenError);
    EXPECT_LT(GetTickCount64() - start, 600u);
  }
  {
    TFileFaultScope noFolderLocks(
        TFileFault{.Op = TFileFaultOp::Lock, .Error = EBADF, .PathPart = dir, .Times = -1, .WholePath = true});
    const pid_t holder = InTheMiddleOfAChange(f);
    EXPECT_TRUE(locked(lockFile));
    EXPECT_FALSE(locked(dir));
    EXPECT_THROW(TFolderLock(f, 200), EFOpenError);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    EXPECT_TRUE(add("c"));
  }
  for (const TFileFault& fault : {TFileFault{.Op = TFileFaultOp::Lock, .Error = ENOLCK, .PathPart = dir, .Times = -1},
                                  TFileFault{.Op = TFileFaultOp::Open, .Error = EROFS, .PathPart = lockFile, .Times = -1}}) {
    TFileFaultScope noLocks(fault);
    TFileFaultScope noFolderLocks(
        TFileFault{.Op = TFileFaultOp::Lock, .Error = EINVAL, .PathPart = dir, .Times = -1, .WholePath = true});
    try {
      add("never");
      ADD_FAILURE() << "changed without a lock";
    } catch (const EFOpenError& e) {
      EXPECT_NE(e.Message().find("cannot be locked against other programs"), std::string::npos) << e.Message();
    }
  }
  EXPECT_EQ(testsupport::Run({"cmp", "-", f}, "a\r\nb\r\nc\r\n").exitCode, 0) << ReadFile(f);
}

TEST(RtlStringList, ChangeEventsWaitForTheLastEndUpdate) {
  TStringList l;
  int changes = 0, changing = 0;
  l.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &l);
    ++changes;
  };
  l.OnChanging = [&](TObject*) { ++changing; };
  l.Add("a");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(changing, 1);
  l.BeginUpdate();
  l.BeginUpdate();
  l.Add("b");
  l.Delete(0);
  l.EndUpdate();
  EXPECT_EQ(changes, 1);
  l.EndUpdate();
  EXPECT_EQ(changes, 2);
  l.EndUpdate();  // unbalanced: no effect
  EXPECT_EQ(changes, 2);
  l.SetText("x\ny");
  EXPECT_EQ(changes, 3);
}

TEST(RtlStringList, AssignExchangeAndMove) {
  TStringList a, b;
  a.AddStrings(std::vector<std::string>{"1", "2", "3"});
  TObject o;
  a.SetObjects(2, &o);
  b.Add("old");
  b.Assign(a);
  EXPECT_EQ(Lines(b), Lines(a));
  EXPECT_EQ(b.Objects(2), &o);
  b.Exchange(0, 2);
  EXPECT_EQ(Lines(b), (std::vector<std::string>{"3", "2", "1"}));
  EXPECT_EQ(b.Objects(0), &o);
  b.Move(0, 2);
  EXPECT_EQ(Lines(b), (std::vector<std::string>{"2", "1", "3"}));
  EXPECT_THROW(b.Move(0, 3), EStringListError);
  EXPECT_THROW(b.Exchange(0, 3), EStringListError);
  EXPECT_TRUE(b.Equals(b));
  EXPECT_FALSE(b.Equals(a));
  TPersistent other;
  EXPECT_THROW(b.Assign(&other), EConvertError);
}

}  // namespace
