// End-to-end runs of the built slk2msg with piped standard input.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/testsupport.hpp"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const std::string kHelp =
    "\nConverts SYLK table to Hollowfen bin+offset file"
    "\n\t/o or -o\tcreate offset file, not table"
    "\n\t/L or -L\tignore line numbers (first column)"
    "\n\t/H, /?, -H, or -?\tdisplay this help message"
    "\npress enter to quit";

const std::string kWorked = "ID;P\nC;Y1;X1;K1\nC;X2;K\"Hi!\"\nC;Y2;X1;K2\nC;X2;K\"A$dB\"\nE\n";

RunResult slk2msg(const TempDir& dir, const std::vector<std::string>& args,
                  const std::string& input = "") {
  return run(program("slk2msg"), args, input, dir.path());
}

}  // namespace

TEST(Slk2msgCli, CompilesTheWorkedTable) {
  struct Case {
    std::vector<std::string> args;
    const char* index_name;
    const char* index;
  };
  const Case cases[] = {
      {{"msgs.en.slk"}, "msgs.tbl", "00 00 00 03 00 00 00 06 00 00 00 00"},
      {{"/o", "/o", "msgs.en.slk"}, "msgs.tbl", "00 00 00 03 00 00 00 06 00 00 00 00"},
      {{"-o", "msgs.en.slk", "/x"}, "msgs.off", "00 00 00 03 00 00 00 03"},
      {{"/L", "-q", "msgs.en.slk"}, "msgs.tbl", "00 00 00 03 00 00 00 06 00 00 00 00"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_text(dir / "msgs.en.slk", kWorked);
    const RunResult r = slk2msg(dir, c.args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(to_hex(read_bytes(dir / c.index_name)), to_hex(hex(c.index)));
    EXPECT_EQ(read_bytes(dir / "msgs.bin"), hex("48 69 21 41 3B 42"));
  }
}

TEST(Slk2msgCli, HelpPromptsAndEndOfInput) {
  TempDir dir;
  write_text(dir / "t.slk", kWorked);
  RunResult r = slk2msg(dir, {"t.slk", "-h"}, "\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, kHelp);
  EXPECT_FALSE(fs::exists(dir / "t.bin"));

  r = slk2msg(dir, {}, "nope.slk\nt.slk\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "\nSYLK file (latin scripts only)? \nSYLK file (latin scripts only)? ");
  EXPECT_EQ(read_bytes(dir / "t.bin"), hex("48 69 21 41 3B 42"));

  r = slk2msg(dir, {"nope.slk"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(generic_reasons(r.err),
            "\nslk2msg: nope.slk: cannot be opened: REASON\n"
            "\nslk2msg: input ended before a SYLK file name was given\n");
}

TEST(Slk2msgCli, TypedIndexNameAndProtectedInput) {
  TempDir dir;
  write_text(dir / "t.tbl", kWorked);
  const RunResult r = slk2msg(dir, {"t.tbl"}, "out.idx\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "\noutput table file? ");
  EXPECT_EQ(string_of(read_bytes(dir / "t.tbl")), kWorked);
  EXPECT_EQ(read_bytes(dir / "out.idx"), hex("00 00 00 03 00 00 00 06 00 00 00 00"));
  EXPECT_EQ(read_bytes(dir / "out.bin"), hex("48 69 21 41 3B 42"));
}

TEST(Slk2msgCli, ReportsWaitForEnterAndAnEarlyEndIsSaidOnce) {
  TempDir dir;
  write_text(dir / "t.slk", "C;X2;K\"[pause][size]x\"\nC;X2;K\"unterminated");
  const RunResult r = slk2msg(dir, {"t.slk"}, "");  // the waits end at once at end of input
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err,
            "\nt.slk:1: warning: the file does not begin with an ID record, so it is no SYLK table "
            "(saved in another format?); read as one all the same"
            "\nimproper!\t[pause t]"
            "\nt.slk:1: note: row 0, column 2: [pause]: a number is missing: 0 written"
            "\nt.slk:1: note: row 0, column 2: [size]: a number is missing: 0 written"
            "\nslk2msg: t.slk: the table ends early (no line end after its last record); "
            "read as if it ended there\n"
            "\nt.slk:2: note: the table ends here"
            "\nslk2msg: t.slk: 3 warnings\n");
  EXPECT_EQ(read_bytes(dir / "t.bin"),
            hex("7F 03 00 7F 5A 00 78 75 6E 74 65 72 6D 69 6E 61 74 65 64"));
  EXPECT_EQ(read_bytes(dir / "t.tbl"), hex("00 00 00 07 00 00 00 13 00 00 00 00"));
}

TEST(Slk2msgCli, EmptyTableGivesAnEmptyArchive) {
  TempDir dir;
  write_text(dir / "t.slk", "ID;P\nC;Y1;X1;K1\nE\n");
  const RunResult r = slk2msg(dir, {"t.slk"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(read_bytes(dir / "t.bin"), hex(""));
  EXPECT_EQ(read_bytes(dir / "t.tbl"), hex("00 00 00 00"));
}

TEST(Slk2msgCli, TablesWrittenByASpreadsheetProgram) {
  auto text = [](const std::string& s) { return bytes_of(s); };
  auto cat = [](std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  struct Case {
    const char* file;
    std::vector<std::string> switches;
    std::vector<Bytes> messages;
  };
  const Case cases[] = {
      {"msgs.slk",
       {},
       {cat({text("Good morning"), hex("7F 1A"), text("!")}),
        cat({text("Careful"), hex("3B"), text(" the bridge creaks"), hex("CD"),
             text("Hold on, please")}),
        cat({hex("7F 05 FF 80 00"), text("Red"), hex("7F 05 FF FF FF"), text(" and "), hex("22"),
             text("quoted"), hex("22"), text(" words")}),
        text("Semicolons;; in the text stay doubled"),
        cat({hex("7F 1A"), text(" raw "), hex("05 BD"), text(" "),
             hex("7F 17 00 10 00 11 00 12")})}},
      {"notes.slk",
       {},
       {text("Text"), cat({hex("7F 0E 1A 2B"), text("Go on.")}), text("Numbers 1,2,3"),
        cat({text("A heart "), hex("2B"), text(" and a note "), hex("2F")})}},
      {"single.slk",
       {"/L"},
       {text("First message"), cat({text("Second "), hex("7F 03 1E"), text("message")})}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    // msgs.slk is the demo's table.
    const fs::path fixture = std::string(c.file) == "msgs.slk"
                                 ? fs::path(TOOLKIT_SOURCE_DIR) / "examples/slk2msg/translation.slk"
                                 : fs::path(TOOLKIT_SOURCE_DIR) / "tests/slk2msg/fixtures" / c.file;
    fs::copy_file(fixture, dir / c.file);
    std::vector<std::string> args = c.switches;
    args.push_back(c.file);
    args.push_back("-o");
    const RunResult r = slk2msg(dir, args);
    EXPECT_EQ(r.exit_code, 0) << c.file;
    // The one row whose text cell was emptied gives no message, and is named; the demo's table
    // shows what a ';' typed into a cell becomes.
    const std::string file = c.file;
    EXPECT_EQ(r.err, file == "notes.slk"
                         ? "\nnotes.slk:36: warning: row 5, column 2: row 4 has no text in column "
                           "2: no message for it, so every later message moves up (write ## for "
                           "an empty message)\nslk2msg: notes.slk: 1 warning\n"
                     : file == "msgs.slk"
                         ? "\nmsgs.slk:25: warning: row 4, column 2: \";;\" is how a spreadsheet "
                           "saves one ';' typed into a cell, but both reach the message: 0x3B "
                           "0x3B, which msg2slk writes back as $d$d (the game has no ';', 0x3B is "
                           "its sweat drop: write $d for one)\nslk2msg: msgs.slk: 1 warning\n"
                         : "")
        << c.file;
    Bytes body;
    Bytes offsets;
    for (const auto& m : c.messages) {
      body.insert(body.end(), m.begin(), m.end());
      for (int shift : {24, 16, 8, 0})
        offsets.push_back(static_cast<std::uint8_t>(m.size() >> shift));
    }
    const std::string stem = fs::path(c.file).stem().string();
    EXPECT_EQ(to_hex(read_bytes(dir / (stem + ".bin"))), to_hex(body)) << c.file;
    EXPECT_EQ(to_hex(read_bytes(dir / (stem + ".off"))), to_hex(offsets)) << c.file;
  }
}

TEST(Slk2msgCli, EverySlipThatChangesTheMessagesGetsALocatedWarning) {
  const auto table = [](const std::string& rows) { return "ID;P\r\n" + rows + "E\r\n"; };
  struct Slip {
    std::string slk;
    const char* lines;
    const char* body = nullptr;  // the body compiled, where it is checked
  };
  const Slip slips[] = {
      {table("C;Y1;X1;K0\r\nC;X2;K\"He said \"hi\" to me\"\r\n"),
       "t.slk:3: warning: row 1, column 2: a quotation mark in the text ends it here, and the rest "
       "of the cell, hi\" to me\", is dropped (write $q for a quotation mark)\n"},
      {table("C;Y1;X1;K0\r\nC;X2;K\"He said \"hi\"\r\nC;Y2;X1;K1\r\nC;X2;K\"B\"\r\n"),
       "t.slk:3: warning: row 1, column 2: the quotation marks of this cell do not pair up: it "
       "runs on over the 3 records after it, which are read as part of it (write $q for a "
       "quotation mark)\n"
       "t.slk:7: note: the table ends here\n"},
      {table("C;Y1;X1;K0\r\nC;X2;K\"A\"\r\nC;Y2;X1;K1\r\nC;Y3;X1;K2\r\nC;X2;K\"C\"\r\n"),
       "t.slk:6: warning: row 3, column 2: row 2 has no text in column 2: no message for it, so "
       "every later message moves up (write ## for an empty message)\n"},
      // The first row's text emptied: there is no row before it that has text.
      {table("C;Y1;X1;K0\r\nC;Y2;X1;K1\r\nC;X2;K\"B\"\r\n"),
       "t.slk:4: warning: row 2, column 2: row 1 has no text in column 2: no message for it, so "
       "every later message moves up (write ## for an empty message)\n"},
      // The messages in column 1 without /L: none is compiled.
      {table("C;Y1;X1;K\"A\"\r\nC;Y2;X1;K\"B\"\r\n"),
       "t.slk:2: warning: no row has a value in column 2, so the archive holds no message (with "
       "/L the messages are taken from column 1)\n"},
      {table("C;Y1;X1;K0\r\nC;X2;K5\r\nC;Y2;X1;K1\r\nC;X2;K\"B\"\r\n"),
       "t.slk:3: warning: row 1, column 2: the value is no quoted text (a number?), so this row's "
       "message is the text of the next text cell, row 2, which that row gives again as its own; "
       "the other rows keep theirs (type the number as text)\n",
       "42 42"},
      {table("C;Y1;X1;K0\r\nC;X2;K\"[jump 1A2O] #5 costs\"\r\nC;X3;K\"x#\"\r\n"),
       "t.slk:3: warning: row 1, column 2: [jump 1A2O]: \"1A2O\" is not a message ID "
       "(hexadecimal digits): read as 01A2\n"
       "t.slk:3: warning: row 1, column 2: the '#' here starts a hex run that runs on past the "
       "end of its cell (its closing quotation mark) to the next '#', and what lies between is "
       "not text (write #23# for a '#' in text)\n"},
      {"\x01\x02 no table at all\n",
       "t.slk:1: warning: the file does not begin with an ID record, so it is no SYLK table (saved "
       "in another format?); read as one all the same\n"},
      // A table as the decompiler writes it: silent.
      {table("C;Y1;X1;K0\r\nC;X2;K\"#7F 06#[jump 1A2B]$q\"\r\n"), ""},
      // Escape leads without their pair, a ';' typed into a cell, UTF-8 characters.
      {table("C;Y1;X1;K0\r\nC;X2;K\"$5 C:\\temp a;;b\"\r\nC;Y2;X1;K1\r\nC;X2;K\"caf\xC3\xA9 "
             "\xE3\x81\x82\"\r\n"),
       "t.slk:3: warning: row 1, column 2: \"$5\" is no escape pair: it writes 0x24, which msg2slk "
       "writes back as [h-me], and drops the 5 (the game has no '$'; the pairs are $- $. $8 $d $h "
       "$n $o $q $r $s)\n"
       "t.slk:3: warning: row 1, column 2: \"\\t\" is no escape pair: it writes 0x5C, which "
       "msg2slk writes back as +, and drops the t (the game has no '\\'; the pairs are \\n "
       "\\r)\n"
       "t.slk:3: warning: row 1, column 2: \";;\" is how a spreadsheet saves one ';' typed into a "
       "cell, but both reach the message: 0x3B 0x3B, which msg2slk writes back as $d$d (the game "
       "has no ';', 0x3B is its sweat drop: write $d for one)\n"
       "t.slk:5: warning: row 2, column 2: U+00E9 '\xC3\xA9' is not a character of the game: its "
       "two bytes, 0xC3 0xA9, are written as they are, which msg2slk writes back as [h-n][k-no] "
       "(write a character the game has; #C3 A9# keeps these bytes without a warning)\n"
       "t.slk:5: warning: row 2, column 2: U+3042 '\xE3\x81\x82' is written as its three bytes, "
       "0xE3 0x81 0x82, which msg2slk writes back as [k-pi]$o{: a SYLK table has no kana map "
       "(write [h-a] for it)\n"},
      // Excel's bounds and options records select no column and give no value.
      {"ID;PWXL;N;E\r\nP;PGeneral\r\nF;P0;DG0G8;M255\r\nB;Y2;X2;D0 0 1 1\r\nO;L;D;V0;K47;G100 "
       "0.001\r\nF;W1 1 10\r\nC;Y1;X1;K1\r\nC;X2;K\"A\"\r\nC;Y2;X1;K2\r\nC;X2;K\"B\"\r\nE\r\n",
       "", "41 42"},
      // An old Mac's line ends: read alike, and located on their own lines.
      {"ID;P\rC;Y1;X1;K0\rC;X2;K\"A\"\rC;Y2;X1;K1\rC;X2;K\"B$5\"\rE\r",
       "t.slk:5: warning: row 2, column 2: \"$5\" is no escape pair: it writes 0x24, which msg2slk "
       "writes back as [h-me], and drops the 5 (the game has no '$'; the pairs are $- $. $8 $d $h "
       "$n $o $q $r $s)\n",
       "41 42 24"},
  };
  for (const Slip& slip : slips) {
    TempDir dir;
    write_text(dir / "t.slk", slip.slk);
    const RunResult r = slk2msg(dir, {"t.slk"});
    EXPECT_EQ(r.exit_code, 0) << slip.slk;
    EXPECT_EQ(located_only(r.err), slip.lines) << slip.slk;
    if (slip.body != nullptr) {
      EXPECT_EQ(to_hex(read_bytes(dir / "t.bin")), slip.body) << slip.slk;
    }
  }
}
