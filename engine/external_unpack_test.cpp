#include "engine/external_unpack.h"

#include <gtest/gtest.h>

#include "engine/engine_fixture_for_tests.h"
#include "engine/package.h"
#include "script/statement_handlers.h"
#include "sysconfig/statement_fixture_for_tests.h"

namespace qm {
namespace {

TEST(ExternalUnpack, CommandLinesForEachUnpackerAndOverwriteMode) {
  struct Case {
    int kind;
    Compression compression;
    Overwrite overwrite;
    const char* command;
  } cases[] = {
      {kCompressionPkware, Compression::Compressed, Overwrite::Yes,
       "dosshell.pif /C pkunzip A:\\DATA.ZIP -d -o C:\\APP\\"},
      {kCompressionPkware, Compression::Compressed, Overwrite::New,
       "dosshell.pif /C pkunzip A:\\DATA.ZIP -d -n C:\\APP\\"},
      {kCompressionPkware, Compression::Compressed, Overwrite::No,
       "dosshell.pif /C pkunzip A:\\DATA.ZIP -d C:\\APP\\"},
      {kCompressionPkware, Compression::Compressed, Overwrite::Ask,
       "dosshell.pif /C pkunzip A:\\DATA.ZIP -d C:\\APP\\"},
      {kCompressionPkware, Compression::SelfExtract, Overwrite::Yes,
       "dosshell.pif /C A:\\DATA.ZIP -d -o C:\\APP\\"},
      {kCompressionLha, Compression::Compressed, Overwrite::Yes,
       "dosshell.pif /C lha x /c1 A:\\DATA.ZIP C:\\APP\\"},
      {kCompressionLha, Compression::Compressed, Overwrite::New,
       "dosshell.pif /C lha x A:\\DATA.ZIP C:\\APP\\"},
      {kCompressionLha, Compression::SelfExtract, Overwrite::Yes,
       "dosshell.pif /C A:\\DATA.ZIP C:\\APP\\"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(externalUnpackCommand(c.kind, c.compression, c.overwrite, "A:\\DATA.ZIP", "C:\\APP"),
              c.command);
    // The copy hands the directory with its backslash: still one in the command.
    EXPECT_EQ(
        externalUnpackCommand(c.kind, c.compression, c.overwrite, "A:\\DATA.ZIP", "C:\\APP\\"),
        c.command);
  }
}

TEST(ExternalUnpack, RunsMaximisedAndWaitsOnTheMachine) {
  testing::EngineFixture f;
  f.settleDestination();
  f.state.engine.compressionKind = kCompressionLha;
  FileEntry entry;
  entry.compression = Compression::SelfExtract;
  entry.overwrite = Overwrite::No;
  PackageExtractor extractor(f.engine);
  extractor.unpackExternally(entry, "C:\\SETUP\\DATA.EXE", "C:\\APP\\");
  const std::string log = f.sim.processesLog();
  EXPECT_NE(log.find("start show=3 wait=1 dosshell.pif /C C:\\SETUP\\DATA.EXE C:\\APP\\"),
            std::string::npos)
      << log;
  EXPECT_EQ(f.log().find("FILE:"), std::string::npos);  // the unpacker's files are not logged
}

TEST(CompressionStatement, ChoosesTheUnpackerOrIsASyntaxError) {
  struct Case {
    const char* line;
    int result;
    int kind;
  } cases[] = {
      {"COMPRESSION LHA", 0, kCompressionLha},
      {"COMPRESSION lha", 0, kCompressionLha},
      {"COMPRESSION PKWARE", 0, kCompressionPkware},
      {"COMPRESSION Pkware", 0, kCompressionPkware},
      {"COMPRESSION ZIP", 1, -1},
      {"COMPRESSION", 1, -1},
  };
  for (const Case& c : cases) {
    testing::StatementFixture f;
    f.state.engine.compressionKind = -1;
    EXPECT_EQ(readCompressionStatement(f.statement(c.line)) != 0, c.result != 0) << c.line;
    EXPECT_EQ(f.state.engine.compressionKind, c.kind) << c.line;
  }
}

}  // namespace
}  // namespace qm
