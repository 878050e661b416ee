// Tests of Morvane.exe, the stand-in archiver: each test starts the real
// program with CreateProcessW and waits for it with a time limit.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "../../tools/standin-archiver/standin_log.h"
#include "standin_test_support.h"
#include "tar_craft.h"
#include "zip_inspect.h"

#ifndef STANDIN_EXE
#error "STANDIN_EXE must name the built Morvane.exe as a wide string literal"
#endif

using namespace standin_test;
using standin_log::Record;

namespace {

constexpr DWORD kRunLimitMs = 30000;
const wchar_t kConfirmTitle[] = L"\u30D5\u30A1\u30A4\u30EB\u5727\u7E2E\u306E\u78BA\u8A8D";

class StandinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Exists(STANDIN_EXE)) << "missing " << Utf8(STANDIN_EXE);
    SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", log_.c_str());
    MakeSourceTree();
  }
  void TearDown() override { SetEnvironmentVariableW(L"MORVANE_STANDIN_LOG", nullptr); }

  // src\a.txt, src\b c.bin, src\sub\{café.txt, deep\x.txt, empty\}
  void MakeSourceTree() {
    std::string binary;
    for (int i = 0; i < 1500; ++i) binary += static_cast<char>(i * 7 % 256);
    ASSERT_TRUE(CreateDirectoryW(src_.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((src_ + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((src_ + L"\\sub\\deep").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((src_ + L"\\sub\\empty").c_str(), nullptr));
    ASSERT_TRUE(TryWriteBytes(src_ + L"\\a.txt", "hello\r\n"));
    ASSERT_TRUE(TryWriteBytes(src_ + L"\\b c.bin", binary));
    ASSERT_TRUE(TryWriteBytes(src_ + L"\\sub\\caf\u00e9.txt", "accent"));
    ASSERT_TRUE(TryWriteBytes(src_ + L"\\sub\\deep\\x.txt", std::string(700, 'x')));
  }

  // Writes an ANSI list file, CR LF after every line, and returns its exact bytes.
  std::string WriteList(const std::wstring& path, const std::vector<std::wstring>& items) {
    std::string bytes;
    for (const std::wstring& item : items) bytes += Ansi(item) + "\r\n";
    EXPECT_TRUE(TryWriteBytes(path, bytes));
    return bytes;
  }

  // The standard three items; "b c.bin" is given in its short (8.3) form.
  std::string WriteStandardList(const std::wstring& path) {
    return WriteList(path, {src_ + L"\\a.txt", ShortPath(src_ + L"\\b c.bin"), src_ + L"\\sub"});
  }

  DWORD Run(const std::wstring& args) { return RunExe(STANDIN_EXE, args, kRunLimitMs); }
  std::vector<Record> Records() const { return standin_log::ReadLog(log_); }

  TempFolder tmp_{L"standin"};
  std::wstring log_ = tmp_ / L"log.txt";
  std::wstring src_ = tmp_ / L"src";
};

// The tree below src as an archive of the three standard items holds it.
std::map<std::wstring, std::string> Expected(const std::wstring& src) {
  auto tree = ReadTree(src);
  EXPECT_EQ(tree.size(), 7u);
  return tree;
}

TEST(StandinLogReader, TakesOnlyCompleteRecords) {
  std::string text =
      "record\ncmdline: a b\ncwd: C:\\\nlistfile: C:\\l.txt\nlistbytes: 410d0aff\n"
      "action: one\naction: two\nend\n"
      "record\ncmdline: cut off\naction: x\n";
  std::vector<Record> r = standin_log::ParseLog(text);
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].cmdline, "a b");
  EXPECT_TRUE(r[0].has_listfile);
  EXPECT_EQ(r[0].listbytes, std::string("A\r\n\xff"));
  EXPECT_EQ(r[0].actions, (std::vector<std::string>{"one", "two"}));
  EXPECT_FALSE(standin_log::ParseLog("record\nlistbytes: MISSING\nend\n").at(0).listbytes.size());
  EXPECT_TRUE(standin_log::ParseLog("record\nlistbytes: MISSING\nend\n").at(0).list_missing);
  Record empty_list = standin_log::ParseLog("record\nlistfile: x\nlistbytes: \nend\n").at(0);
  EXPECT_TRUE(empty_list.has_listfile);
  EXPECT_FALSE(empty_list.list_missing);
  EXPECT_TRUE(empty_list.listbytes.empty());
}

TEST_F(StandinTest, TarRoundTripRestoresTheTree) {
  std::wstring list = tmp_ / L"list.txt", out = tmp_ / L"out", ext = tmp_ / L"ext";
  std::string list_bytes = WriteStandardList(list);
  std::wstring args = L"/c:tar /o:" + Quote(out) + L" /l:" + Quote(list) + L" /d";
  ASSERT_EQ(Run(args), 0u);

  std::wstring tar = out + L"\\a.tar";
  std::string tar_bytes = ReadBytes(tar);
  ASSERT_GE(tar_bytes.size(), 1024u);
  EXPECT_EQ(tar_bytes.substr(257, 6), std::string("ustar\0", 6));
  EXPECT_FALSE(Exists(list)) << "/d must delete the list file";
  std::vector<Record> records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].cmdline, Utf8(Quote(STANDIN_EXE) + L" " + args));
  EXPECT_EQ(records[0].listfile, Utf8(list));
  EXPECT_EQ(records[0].listbytes, list_bytes);
  EXPECT_TRUE(records[0].HasAction("create tar " + Utf8(tar) + " (7 entries)"));

  args = L"/a2a:0 /o:" + Quote(ext) + L" " + Quote(tar);
  ASSERT_EQ(Run(args), 0u);
  EXPECT_EQ(ReadTree(ext), Expected(src_));
  records = Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[1].HasAction("extract " + Utf8(tar) + " -> " + Utf8(ext)));
  EXPECT_FALSE(records[1].has_listfile);
}

TEST_F(StandinTest, ZipHasValidStructureNamesAndCrcs) {
  std::wstring list = tmp_ / L"list.txt";
  WriteStandardList(list);
  ASSERT_EQ(Run(L"/c:zip /l:" + Quote(list) + L" /d"), 0u);

  // No /o: the archive goes beside the first listed item.
  std::vector<ZipItem> items;
  ASSERT_EQ(InspectZip(ReadBytes(src_ + L"\\a.zip"), items), "");
  std::vector<std::string> names;
  for (const ZipItem& it : items) {
    names.push_back(it.name);
    EXPECT_EQ(it.method, 0) << it.name;
    bool dir = !it.name.empty() && it.name.back() == '/';
    EXPECT_EQ(dir, (it.external_attr & FILE_ATTRIBUTE_DIRECTORY) != 0) << it.name;
    if (dir) {
      EXPECT_EQ(it.size, 0u) << it.name;
    }
  }
  std::vector<std::string> expected = {"a.txt", "b c.bin", "sub/", "sub/caf\xc3\xa9.txt",
                                       "sub/deep/", "sub/deep/x.txt", "sub/empty/"};
  EXPECT_EQ(names, expected);
  ASSERT_EQ(items.size(), expected.size());
  EXPECT_EQ(items[1].data, ReadBytes(src_ + L"\\b c.bin"));
  EXPECT_EQ(items[5].data, std::string(700, 'x'));
  EXPECT_TRUE(Records().at(0).HasAction("create zip " + Utf8(src_ + L"\\a.zip") + " (7 entries)"));
}

TEST_F(StandinTest, SelfExtractingZipIsNamedExeAndPasswordIsLogged) {
  std::wstring list = tmp_ / L"list.txt", out = tmp_ / L"out";
  WriteList(list, {src_ + L"\\sub"});
  ASSERT_EQ(Run(L"/x /c:zip /p /o:" + Quote(out) + L" /l:" + Quote(list) + L" /d"), 0u);
  std::vector<ZipItem> items;
  EXPECT_EQ(InspectZip(ReadBytes(out + L"\\sub.exe"), items), "");
  EXPECT_EQ(items.size(), 5u);
  EXPECT_TRUE(Records().at(0).HasAction("password switch /p ignored"));
}

TEST_F(StandinTest, FormatsWithoutWriterGetTheirExtensionAndATar) {
  struct Case {
    const wchar_t* format;
    const wchar_t* extension;
  };
  const Case cases[] = {{L"lzh", L"lzh"}, {L"bh", L"bh"},   {L"bz2", L"bz2"},
                        {L"cab", L"cab"}, {L"gz", L"gz"},   {L"tbz", L"tar.bz2"},
                        {L"tgz", L"tar.gz"}, {L"uue", L"uue"}, {L"xxe", L"xxe"},
                        {L"b64", L"b64"}};
  std::wstring list = tmp_ / L"list.txt", out = tmp_ / L"out";
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.format));
    WriteStandardList(list);
    ASSERT_EQ(Run(std::wstring(L"/c:") + c.format + L" /o:" + Quote(out) + L" /l:" + Quote(list) + L" /d"), 0u);
    std::string bytes = ReadBytes(out + L"\\a." + c.extension);
    ASSERT_GE(bytes.size(), 1024u);
    EXPECT_EQ(bytes.substr(257, 5), "ustar");
    std::vector<Record> r = Records();
    ASSERT_FALSE(r.empty());
    EXPECT_TRUE(r.back().HasAction("format " + Utf8(c.format) + " not supported, wrote tar"));
  }
  EXPECT_EQ(Records().size(), 10u);
}


TEST_F(StandinTest, ConversionCompressRunWritesTheNamedArchive) {
  // Started as "<exe path with a space>" <params>, the way ShellExecuteW starts it.
  std::wstring app = tmp_ / L"app dir";
  ASSERT_TRUE(CreateDirectoryW(app.c_str(), nullptr));
  std::wstring exe = app + L"\\Morvane.exe";
  ASSERT_TRUE(CopyFileW(STANDIN_EXE, exe.c_str(), FALSE));
  std::wstring list = tmp_ / L"list.txt", target = tmp_ / L"conv\\new name.zip";
  std::string list_bytes = WriteStandardList(list);
  std::wstring args = L"/c:zip /a2a:0 /d /l:" + Quote(list) + L" /n:" + Quote(target);
  ASSERT_EQ(RunExe(exe, args), 0u);
  std::vector<ZipItem> items;
  EXPECT_EQ(InspectZip(ReadBytes(target), items), "");
  EXPECT_EQ(items.size(), 7u);
  EXPECT_FALSE(Exists(list));
  EXPECT_FALSE(Exists(src_ + L"\\a.zip")) << "/n: names the only output";
  std::vector<Record> r = Records();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].listbytes, list_bytes);
  EXPECT_TRUE(r[0].HasAction("create zip " + Utf8(target) + " (7 entries)"));
}

// A non-ASCII file name the ANSI code page can spell (1252 or 932), or "".
std::wstring NonAsciiNameForAnsi() {
  for (const wchar_t* name : {L"caf\u00e9.txt", L"\u65e5\u672c.txt"}) {
    BOOL lossy = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, nullptr, 0, nullptr, &lossy);
    if (!lossy) return name;
  }
  return L"";
}

TEST_F(StandinTest, ListBytesAreLoggedExactlyAndListIsDeletedOnlyWithD) {
  std::wstring name = NonAsciiNameForAnsi();
  if (name.empty()) GTEST_SKIP() << "code page " << GetACP() << " has neither test name";
  std::wstring list = tmp_ / L"list.txt", non_ascii = src_ + L"\\" + name;
  ASSERT_TRUE(TryWriteBytes(non_ascii, "n"));
  std::string bytes = WriteList(list, {non_ascii, src_ + L"\\a.txt"});
  ASSERT_NE(bytes, Utf8(non_ascii + L"\r\n" + src_ + L"\\a.txt\r\n")) << "list must not be UTF-8";
  ASSERT_EQ(Run(L"/t /l:" + Quote(list)), 0u);
  EXPECT_TRUE(Exists(list)) << "without /d the list stays";
  ASSERT_EQ(Run(L"/t /l:" + Quote(list) + L" /d"), 0u);
  EXPECT_FALSE(Exists(list));
  std::vector<Record> r = Records();
  ASSERT_EQ(r.size(), 2u);
  for (const Record& rec : r) {
    EXPECT_EQ(rec.listbytes, bytes);
    EXPECT_FALSE(rec.list_missing);
    // Decoded with the ANSI code page, so the non-ASCII name is found.
    EXPECT_TRUE(rec.HasAction("not an archive: " + Utf8(non_ascii)));
  }
}

TEST_F(StandinTest, UnreadableListIsLoggedAsMissing) {
  std::wstring list = tmp_ / L"no such list.txt";
  EXPECT_EQ(Run(L"/oc /l:" + Quote(list) + L" /d"), 2u);
  std::vector<Record> r = Records();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_TRUE(r[0].has_listfile);
  EXPECT_TRUE(r[0].list_missing);
  EXPECT_EQ(r[0].listfile, Utf8(list));
}

TEST_F(StandinTest, ExtractCommandsPutFilesWhereAsked) {
  std::wstring tar = tmp_ / L"pack.tar", list = tmp_ / L"list.txt", out = tmp_ / L"out";
  std::string unique = "standin-od-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
  ASSERT_TRUE(TryWriteBytes(tar, TarMember(unique + "/f.txt", '0', "data") + TarEnd()));

  WriteList(list, {tar, src_ + L"\\a.txt"});  // trailing backslash stays part of the folder
  ASSERT_EQ(Run(L"/h /o:\"" + out + L"\\\" /l:" + Quote(list) + L" /d"), 0u);
  std::wstring top = std::wstring(unique.begin(), unique.end());
  EXPECT_EQ(ReadBytes(out + L"\\" + top + L"\\f.txt"), "data");

  WriteList(list, {ShortPath(tar)});
  ASSERT_EQ(Run(L"/oh /l:" + Quote(list) + L" /d"), 0u);
  EXPECT_EQ(ReadBytes(tmp_ / top + L"\\f.txt"), "data");

  wchar_t desktop[MAX_PATH];
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop)));
  WriteList(list, {tar});
  ASSERT_EQ(Run(L"/od /l:" + Quote(list) + L" /d"), 0u);
  std::wstring on_desktop = std::wstring(desktop) + L"\\" + top;
  EXPECT_EQ(ReadBytes(on_desktop + L"\\f.txt"), "data");
  RemoveTree(on_desktop);

  WriteList(list, {tar});
  ASSERT_EQ(Run(L"/oc /l:" + Quote(list) + L" /d"), 0u);
  std::vector<Record> r = Records();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_TRUE(r[0].HasAction("not an archive: " + Utf8(src_ + L"\\a.txt")));
  EXPECT_TRUE(r[2].HasAction("extract " + Utf8(tar) + " -> " + Utf8(desktop)));
  EXPECT_TRUE(r[3].HasAction("ask for a folder for " + Utf8(tar)));
}

TEST_F(StandinTest, NonTarSourceShowsConfirmWindowOnMainThread) {
  std::wstring source = src_ + L"\\a.txt", out = tmp_ / L"conv";
  Child child;
  ASSERT_TRUE(child.Start(Quote(STANDIN_EXE) + L" /a2a:0 /o:" + Quote(out) + L" " + Quote(source)));
  // Wine reports idle while user32 is still starting up in the child, before
  // the window exists (Windows: only once the loop waits), so poll as well.
  WaitForInputIdle(child.process(), 10000);
  HWND w = PollThreadWindow(child.thread_id(), kConfirmTitle, 10000);
  ASSERT_NE(w, nullptr) << "no confirm window on the main thread";
  // The window is listed while CreateWindowExW is still running; give it a moment.
  for (DWORD t0 = GetTickCount(); !IsWindowVisible(w) && GetTickCount() - t0 < 5000;) Sleep(10);
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_EQ(GetWindowThreadProcessId(w, nullptr), child.thread_id());
  EXPECT_EQ(Records().size(), 0u) << "the record comes only at the end of the run";

  ASSERT_TRUE(PostMessageW(w, WM_CLOSE, 0, 0));
  // Under Xvfb without a window manager, Wine takes about 2 s to destroy a shown window.
  ASSERT_TRUE(child.WaitExit(15000)) << "closing the window must end the run";
  EXPECT_EQ(child.ExitCode(), 1u);
  std::vector<Record> r = Records();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_TRUE(r[0].HasAction("not an archive: " + Utf8(source)));
  ASSERT_FALSE(r[0].actions.empty());
  EXPECT_EQ(r[0].actions.back(), "confirm window closed");
  EXPECT_TRUE(ReadTree(out).empty());
}

TEST_F(StandinTest, UnsafeMemberNamesAreSkipped) {
  std::wstring tar = tmp_ / L"evil.tar", ext = tmp_ / L"ext\\inner";
  std::string deep = std::string(60, 'd') + "/" + std::string(60, 'e') + "/" + std::string(60, 'f');
  std::string bytes = TarMember("../evil1.txt", '0', "x") + TarMember("/abs.txt", '0', "x") +
                      TarMember("C:/drive.txt", '0', "x") + TarMember("ok/../../evil2.txt", '0', "x") +
                      TarMember("ok/aux.txt", '0', "x") + TarMember("link", '2', "") +
                      TarLongMember(std::string(300, 'n'), "x") +
                      TarLongMember(deep, "long ok") + TarMember("good/file.txt", '0', "fine") + TarEnd();
  ASSERT_TRUE(TryWriteBytes(tar, bytes));
  ASSERT_EQ(Run(L"/a2a:0 /o:" + Quote(ext) + L" " + Quote(tar)), 0u);
  std::wstring deep_w(deep.begin(), deep.end());
  std::map<std::wstring, std::string> expected = {
      {L"good/", ""}, {L"good/file.txt", "fine"}, {deep_w.substr(0, 60) + L"/", ""},
      {deep_w.substr(0, 121) + L"/", ""}, {deep_w, "long ok"}};
  EXPECT_EQ(ReadTree(ext), expected);
  EXPECT_FALSE(Exists(tmp_ / L"ext\\evil1.txt"));
  EXPECT_FALSE(Exists(tmp_ / L"ext\\evil2.txt"));
  std::vector<Record> r = Records();
  ASSERT_EQ(r.size(), 1u);
  for (const char* name : {"../evil1.txt", "/abs.txt", "C:/drive.txt", "ok/../../evil2.txt", "ok/aux.txt", "link"})
    EXPECT_TRUE(r[0].HasAction(std::string("skip entry ") + name + ":")) << name;
  EXPECT_TRUE(r[0].HasAction("skip entry " + std::string(300, 'n') + ": name too long"));
}

TEST_F(StandinTest, DamagedTarFailsWithoutCrashing) {
  std::wstring cut = tmp_ / L"cut.tar", garbage = tmp_ / L"garbage.tar", out = tmp_ / L"out";
  ASSERT_TRUE(TryWriteBytes(cut, TarHeader("big.bin", '0', 100000) + std::string(600, 'z')));
  std::string bad_second = TarMember("one.txt", '0', "1") + std::string(512, '\x7f') + TarEnd();
  ASSERT_TRUE(TryWriteBytes(garbage, bad_second));
  EXPECT_EQ(Run(L"/a2a:0 /o:" + Quote(out) + L" " + Quote(cut)), 2u);
  EXPECT_EQ(Run(L"/a2a:0 /o:" + Quote(out) + L" " + Quote(garbage)), 2u);
  std::vector<Record> r = Records();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_TRUE(r[0].HasAction("extract failed " + Utf8(cut)));
  EXPECT_TRUE(r[1].HasAction("extract failed " + Utf8(garbage)));
  EXPECT_EQ(ReadBytes(out + L"\\one.txt"), "1");
}

TEST_F(StandinTest, UnknownSwitchIsLoggedAndIgnored) {
  std::wstring list = tmp_ / L"list.txt";
  WriteList(list, {src_ + L"\\a.txt"});
  EXPECT_EQ(Run(L"/zz:1 /t /q /l:" + Quote(list) + L" /d"), 0u);
  std::vector<Record> r = Records();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_TRUE(r[0].HasAction("unknown switch /zz:1"));
  EXPECT_TRUE(r[0].HasAction("unknown switch /q"));
  EXPECT_FALSE(Exists(list));
}

TEST_F(StandinTest, ListedInputsAreNeverOverwritten) {
  std::wstring list = tmp_ / L"list.txt", tar = src_ + L"\\pack.tar";
  std::string original = TarMember("x.txt", '0', "original") + TarEnd();
  ASSERT_TRUE(TryWriteBytes(tar, original));
  WriteList(list, {tar});
  ASSERT_EQ(Run(L"/c:tar /l:" + Quote(list) + L" /d"), 0u);  // default name would be pack.tar
  EXPECT_EQ(ReadBytes(tar), original);
  EXPECT_TRUE(Exists(src_ + L"\\pack (2).tar"));

  WriteList(list, {src_ + L"\\sub"});
  std::wstring inside = src_ + L"\\sub\\deep\\x.txt";
  EXPECT_EQ(Run(L"/c:zip /a2a:0 /d /l:" + Quote(list) + L" /n:" + Quote(inside)), 2u);
  EXPECT_EQ(ReadBytes(inside), std::string(700, 'x'));
  EXPECT_TRUE(Records().at(1).HasAction("output is one of the inputs"));
}

TEST_F(StandinTest, ConcurrentRunsEachAppendOneCompleteRecord) {
  constexpr int kRuns = 6;
  Child children[kRuns];
  for (int i = 0; i < kRuns; ++i) {
    std::wstring list = tmp_ / (L"list" + std::to_wstring(i) + L".txt");
    WriteList(list, {src_ + L"\\sub"});
    std::wstring out = tmp_ / (L"out" + std::to_wstring(i));
    ASSERT_TRUE(children[i].Start(Quote(STANDIN_EXE) + L" /c:tar /o:" + Quote(out) + L" /l:" + Quote(list) + L" /d"));
  }
  std::vector<Record> r;
  EXPECT_TRUE(standin_log::WaitForRecords(log_, kRuns, kRunLimitMs, &r));
  for (Child& c : children) {
    ASSERT_TRUE(c.WaitExit(kRunLimitMs));
    EXPECT_EQ(c.ExitCode(), 0u);
  }
  r = Records();
  ASSERT_EQ(r.size(), static_cast<size_t>(kRuns));
  std::set<std::string> cmdlines;
  for (const Record& rec : r) {
    cmdlines.insert(rec.cmdline);
    EXPECT_EQ(rec.actions.size(), 2u);  // list deleted, tar created
  }
  EXPECT_EQ(cmdlines.size(), static_cast<size_t>(kRuns));
}

TEST_F(StandinTest, RecordWaitsForTheLogLock) {
  std::wstring list = tmp_ / L"list.txt";
  WriteList(list, {src_ + L"\\a.txt"});
  HANDLE log = CreateFileW(log_.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(log, INVALID_HANDLE_VALUE);
  OVERLAPPED range = {};
  ASSERT_TRUE(LockFileEx(log, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &range));
  Child child;
  bool started = child.Start(Quote(STANDIN_EXE) + L" /t /l:" + Quote(list), src_);
  bool ended_while_locked = started && child.WaitExit(1500);
  LARGE_INTEGER size = {};
  GetFileSizeEx(log, &size);
  UnlockFileEx(log, 0, MAXDWORD, MAXDWORD, &range);
  CloseHandle(log);
  ASSERT_TRUE(started);
  EXPECT_FALSE(ended_while_locked) << "the record must wait for the lock";
  EXPECT_EQ(size.QuadPart, 0);
  ASSERT_TRUE(child.WaitExit(kRunLimitMs));
  EXPECT_EQ(child.ExitCode(), 0u);
  std::vector<Record> r = Records();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].cwd, Utf8(src_));
}

}  // namespace
