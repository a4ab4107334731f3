// The operation log on real files: created on the first entry, newest first,
// trimmed to 100 lines, written in the ANSI code page, written once another
// program reading it lets go and the error box when it does not or when the
// file cannot be read.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/handle.h"
#include "common/listfile.h"
#include "common/pelvane.h"
#include "common/wide.h"
#include "core/error.h"
#include "fixture.h"
#include "scratch.h"

namespace {

using testsupport::ReadBytes;
using testsupport::WriteBytes;

using wintest::DataFolderScope;

using wintest::MainWindow;
using wintest::ScratchFolder;

std::vector<std::u16string> LogLines(const std::u16string& path) {
  std::vector<std::u16string> lines;
  Pelvane::LoadList(lines, path, tavu::TextEncoding::Ansi);
  return lines;
}

TEST(OperationLog, OffWritesNothingAndOnPutsTheNewestLineFirst) {
  ScratchFolder dir;
  DataFolderScope data(dir.Path(u"data"));
  CreateDirectoryW(AsWide(dir.Path(u"data")), nullptr);
  const auto log = dir.Path(u"data\\TAVU.log");
  MainWindow w;
  w->PPLog.Checked = false;
  w->WriteLog(u"nothing");
  EXPECT_EQ(GetFileAttributesW(AsWide(log)), INVALID_FILE_ATTRIBUTES);

  w->PPLog.Checked = true;
  w->WriteLog(u"first");
  const std::string once = ReadBytes(log);
  ASSERT_GE(once.size(), 2u);
  EXPECT_EQ(once.substr(once.size() - 2), "\r\n");
  EXPECT_EQ(std::count(once.begin(), once.end(), '\n'), 1);
  w->WriteLog(u"second");
  auto lines = LogLines(log);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].ends_with(u" second"));
  EXPECT_TRUE(lines[1].ends_with(u" first"));
  // The time stamp is the local date and time: it starts with this year.
  SYSTEMTIME st;
  GetLocalTime(&st);
  EXPECT_EQ(lines[0].substr(0, 4), ToU16(std::to_wstring(st.wYear).c_str()));

  // A log that somebody extended to 150 lines keeps the newest 100.
  std::string many;
  for (int i = 0; i < 150; ++i)
    many += "old " + std::to_string(i) + "\r\n";
  WriteBytes(log, many);
  w->WriteLog(u"new");
  lines = LogLines(log);
  ASSERT_EQ(lines.size(), 100u);
  EXPECT_TRUE(lines[0].ends_with(u" new"));
  EXPECT_EQ(lines[99], u"old 98");

  // After every entry the current directory is the program's folder.
  wchar_t cwd[MAX_PATH + 1] = {};
  GetCurrentDirectoryW(MAX_PATH + 1, cwd);
  EXPECT_EQ(ToU16(cwd), Pelvane::ProgramFolder());
}

TEST(OperationLog, IsWrittenInTheAnsiCodePage) {
  ASSERT_EQ(GetACP(), 932u) << "the suite runs in a Japanese locale";
  ScratchFolder dir;
  const auto log = dir.Path(u"TAVU.log");
  ASSERT_TRUE(Pelvane::SaveListIfFree({u"C:\\d\\名前.txt コピー中止", u"\u0416"}, log,
                                      tavu::TextEncoding::Ansi));
  const std::string bytes = ReadBytes(log);
  // 名 is 96 BC in code page 932; no byte-order mark.
  EXPECT_EQ(bytes.substr(0, 7), "C:\\d\\\x96\xbc");
  EXPECT_EQ(LogLines(log)[0], u"C:\\d\\名前.txt コピー中止");
  // A character the code page has no place for does not come back as itself.
  const std::u16string hangul = u"\uD55C";
  ASSERT_TRUE(Pelvane::SaveListIfFree({hangul}, log, tavu::TextEncoding::Ansi));
  EXPECT_NE(LogLines(log)[0], hangul);
  EXPECT_EQ(LogLines(log).size(), 1u);
}

TEST(OperationLog, ABusyLogWaitsForItsReaderOrSaysSoAndAnUnreadableOneShowsTheError) {
  ScratchFolder dir;
  const auto log = dir.Path(u"TAVU.log");
  WriteBytes(log, "kept\r\n");
  auto openReader = [&] {
    // A viewer, an indexer or a virus scanner: it reads and lets others read too.
    return ScopedFileHandle(CreateFileW(AsWide(log), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
  };
  {
    ScopedFileHandle reader = openReader();
    ASSERT_TRUE(reader);
    std::thread letGo([&] {
      Sleep(300);
      reader.Reset();
    });
    EXPECT_TRUE(Pelvane::SaveListIfFree({u"written"}, log, tavu::TextEncoding::Ansi));
    letGo.join();
    EXPECT_EQ(ReadBytes(log), "written\r\n");
  }
  {
    ScopedFileHandle reader = openReader();
    ASSERT_TRUE(reader);
    try {
      Pelvane::SaveListIfFree({u"lost"}, log, tavu::TextEncoding::Ansi);
      ADD_FAILURE() << "the entry was dropped without a word";
    } catch (const tavu::Exception& e) {
      EXPECT_EQ(e.Message(),
                tavu::CannotCreateText(log, Pelvane::SystemMessage(ERROR_SHARING_VIOLATION)));
    }
    EXPECT_EQ(ReadBytes(log), "written\r\n");
  }
  {
    // Another program writes it: reading fails with the file's name and the system's text.
    ScopedFileHandle writer(CreateFileW(AsWide(log), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    std::vector<std::u16string> lines;
    try {
      Pelvane::LoadList(lines, log, tavu::TextEncoding::Ansi);
      ADD_FAILURE() << "no error";
    } catch (const tavu::Exception& e) {
      EXPECT_EQ(e.Message(), u"ファイル " + log + u" は開けません。 " +
                                 Pelvane::SystemMessage(ERROR_SHARING_VIOLATION) + u" ");
    }
  }
  // A log that cannot be written (its name is taken by a folder): the error
  // names the file, and nothing beside it is left over.
  const auto blocked = dir.Folder(u"blocked.log");
  try {
    Pelvane::SaveListIfFree({u"x"}, blocked, tavu::TextEncoding::Ansi);
    ADD_FAILURE() << "no error";
  } catch (const tavu::Exception& e) {
    EXPECT_TRUE(e.Message().starts_with(u"ファイル \"" + blocked + u"\" を作成できません。"));
  }
  EXPECT_EQ(GetFileAttributesW(AsWide(blocked + u".new")), INVALID_FILE_ATTRIBUTES);
}

} // namespace
