// End-to-end runs of the built txt2msg with piped standard input.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/testsupport.hpp"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHelp =
    "\nConverts UTF-8 text dump to Hollowfen bin+offset file"
    "\n\t/o or -o\tcreate offset file, not table"
    "\n\t/L or -L\tignore line numbers (numeral followed by tab)"
    "\n\t/Q or -Q\tdon't complain if file lacks BOM"
    "\n\t/H, /?, -H, or -?\tdisplay this help message"
    "\npress enter to quit";
const std::string kBomQuestion =
    "\n\aThis file doesn't have a UTF-8 BOM.\nIf it is straight ANSI text or a UTF-8 file that "
    "doesn't have a BOM, it will still work.\n\nType 'Y' to continue anyway, or any other phrase "
    "to quit.";

RunResult txt2msg(const TempDir& dir, const std::vector<std::string>& args,
                  const std::string& input = "") {
  return run(program("txt2msg"), args, input, dir.path());
}

}  // namespace

TEST(Txt2msgCli, CompilesADumpWithBomAndCrlf) {
  TempDir dir;
  write_text(dir / "dump.txt", kBom + "12\tHi $h!\r\n13\t\xE3\x82\xA2#7F 00#\r\n");
  const RunResult r = txt2msg(dir, {"dump.txt"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read_bytes(dir / "dump.bin"), hex("48 69 20 2B 21 91 7F 00"));
  EXPECT_EQ(read_bytes(dir / "dump.tbl"), hex("00 00 00 05 00 00 00 08 00 00 00 00"));
  EXPECT_FALSE(fs::exists(dir / "dump.off"));
}

TEST(Txt2msgCli, SwitchesToggle) {
  struct Case {
    std::vector<std::string> args;
    const char* index_name;
    const char* index;
    const char* body;
  };
  const Case cases[] = {
      {{"/o", "/o", "d.txt"}, "d.tbl", "00 00 00 01 00 00 00 02 00 00 00 00", "41 42"},
      {{"-o", "d.txt"}, "d.off", "00 00 00 01 00 00 00 01", "41 42"},
      {{"d.txt", "-Lx"},
       "d.tbl",
       "00 00 00 01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00 00",
       "31 41 32 42"},
      {{"/x", "-", "/", "d.txt"}, "d.tbl", "00 00 00 01 00 00 00 02 00 00 00 00", "41 42"},
      {{"other.txt", "d.txt"}, "d.tbl", "00 00 00 01 00 00 00 02 00 00 00 00", "41 42"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_text(dir / "d.txt", kBom + "1\tA\n2\tB\n");
    const RunResult r = txt2msg(dir, c.args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(to_hex(read_bytes(dir / c.index_name)), to_hex(hex(c.index))) << c.args[0];
    EXPECT_EQ(to_hex(read_bytes(dir / "d.bin")), to_hex(hex(c.body))) << c.args[0];
  }
}

TEST(Txt2msgCli, AbsolutePathIsAFileNameNotASwitch) {
  TempDir dir;
  write_text(dir / "d.txt", kBom + "1\tA\n");
  const RunResult r = txt2msg(dir, {(dir / "d.txt").string()});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(string_of(read_bytes(dir / "d.bin")), "A");
}

TEST(Txt2msgCli, HelpEndsBeforeAnyFileIsOpened) {
  for (const char* sw : {"/h", "-H", "/?"}) {
    TempDir dir;
    write_text(dir / "dump.txt", kBom + "1\tA\n");
    const RunResult r = txt2msg(dir, {"dump.txt", sw, "/o"}, "\n");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kHelp);
    EXPECT_FALSE(fs::exists(dir / "dump.tbl"));
    EXPECT_FALSE(fs::exists(dir / "dump.bin"));
  }
}

TEST(Txt2msgCli, BomQuestion) {
  struct Case {
    std::vector<std::string> args;
    std::string answer;
    int exit_code;
    bool asked;
  };
  const Case cases[] = {
      {{"d.txt"}, "y\n", 0, true},     {{"d.txt"}, "Yes please\n", 0, true},
      {{"d.txt"}, "n\n", 1, true},     {{"d.txt"}, "", 1, true},  // end of input reads as no
      {{"d.txt", "/Q"}, "", 0, false}, {{"d.txt", "-q", "-q"}, "y", 0, true},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_text(dir / "d.txt", "1\tA\n");
    write_text(dir / "d.bin", "previous archive");
    const RunResult r = txt2msg(dir, c.args, c.answer);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.answer;
    EXPECT_EQ(r.out, c.asked ? kBomQuestion : "") << c.answer;
    if (c.exit_code == 0) {
      EXPECT_EQ(string_of(read_bytes(dir / "d.bin")), "A");
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_EQ(r.err,
                "\ntxt2msg: d.txt: not compiled, as the byte-order-mark question was not answered "
                "Y; nothing written\n");
      // Declining leaves what the user had untouched and creates nothing.
      EXPECT_EQ(string_of(read_bytes(dir / "d.bin")), "previous archive");
      EXPECT_FALSE(fs::exists(dir / "d.tbl"));
    }
  }
}

TEST(Txt2msgCli, AUtf16DumpIsRefusedWithoutAQuestion) {
  const std::pair<std::string, const char*> cases[] = {
      {std::string("\xFF\xFE"
                   "0\0\t\0H\0i\0",
                   8),
       "UTF-16"},
      {std::string("\xFE\xFF\0"
                   "0\0\t\0H\0i",
                   8),
       "UTF-16"},
      {std::string("\xFF\xFE\0\0", 4), "UTF-32"},
  };
  for (const auto& [dump, form] : cases) {
    for (const char* quiet : {"/Q", "/o"}) {
      TempDir dir;
      write_text(dir / "d.txt", dump);
      const RunResult r = txt2msg(dir, {quiet, "d.txt"}, "y\n");
      EXPECT_EQ(r.exit_code, 1);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, std::string("\ntxt2msg: d.txt: the file is ") + form +
                           " text (Notepad's \"Unicode\"), not UTF-8: save it as UTF-8 and "
                           "compile it again; nothing written\n");
      EXPECT_FALSE(fs::exists(dir / "d.bin"));
      EXPECT_FALSE(fs::exists(dir / "d.tbl"));
      EXPECT_FALSE(fs::exists(dir / "d.off"));
    }
  }
}

TEST(Txt2msgCli, AsksForTheInputUntilItOpens) {
  TempDir dir;
  write_text(dir / "d.txt", kBom + "1\tA\n");
  const RunResult r = txt2msg(dir, {}, "missing.txt\n\nd.txt\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "\nUTF-8 text file? \nUTF-8 text file? \nUTF-8 text file? ");
  EXPECT_EQ(string_of(read_bytes(dir / "d.bin")), "A");
}

TEST(Txt2msgCli, EndOfInputAtAPromptEndsTheRun) {
  TempDir dir;
  RunResult r = txt2msg(dir, {}, "missing.txt\n");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "\nUTF-8 text file? \nUTF-8 text file? ");
  EXPECT_EQ(generic_reasons(r.err),
            "\ntxt2msg: missing.txt: cannot be opened: REASON\n"
            "\ntxt2msg: input ended before a text file name was given\n");
  // The same at the index prompt (the derived index name is the input itself).
  write_text(dir / "d.tbl", "1\tA\n");
  r = txt2msg(dir, {"/Q", "d.tbl"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "\noutput table file? ");
  EXPECT_EQ(r.err,
            "\ntxt2msg: d.tbl: that is an input file; give another name for the output\n"
            "\ntxt2msg: input ended before a name for the index file was given\n");
}

TEST(Txt2msgCli, OutputNamingTheInputIsAskedAgain) {
  TempDir dir;
  const std::string dump = kBom + "1\tA\n";
  write_text(dir / "d.tbl", dump);
  const RunResult r = txt2msg(dir, {"d.tbl"}, "d.tbl\nout.idx\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "\noutput table file? \noutput table file? ");
  EXPECT_EQ(string_of(read_bytes(dir / "d.tbl")), dump);  // the input survives
  EXPECT_EQ(read_bytes(dir / "out.idx"), hex("00 00 00 01 00 00 00 00"));
  EXPECT_EQ(string_of(read_bytes(dir / "out.bin")), "A");
}

TEST(Txt2msgCli, BodyNamingTheInputOrTheIndexIsAskedAgain) {
  TempDir dir;
  const std::string dump = kBom + "1\tA\n";
  write_text(dir / "d.bin", dump);
  // d.bin -> index d.tbl -> body d.bin: the input again.
  const RunResult r = txt2msg(dir, {"/o", "d.bin"}, "d.off\nbody.dat\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "\noutput binary? \noutput binary? ");
  EXPECT_EQ(string_of(read_bytes(dir / "d.bin")), dump);
  EXPECT_EQ(read_bytes(dir / "d.off"), hex("00 00 00 01"));
  EXPECT_EQ(string_of(read_bytes(dir / "body.dat")), "A");
}

TEST(Txt2msgCli, UnwritableIndexIsAskedFor) {
  TempDir dir;
  write_text(dir / "d.txt", kBom + "1\tA\n");
  fs::create_directory(dir / "d.off");  // a folder where the index should go
  const RunResult r = txt2msg(dir, {"-o", "d.txt"}, "idx.off\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "\noutput offset file? ");
  EXPECT_EQ(read_bytes(dir / "idx.off"), hex("00 00 00 01"));
  EXPECT_EQ(string_of(read_bytes(dir / "idx.bin")), "A");
}

TEST(Txt2msgCli, DiagnosticsGoToStandardError) {
  TempDir dir;
  write_text(dir / "d.txt", kBom +
                                "1\tA\xE3\x82\x8E"
                                "B\xE3\x82\x8F\n");
  const RunResult r = txt2msg(dir, {"d.txt"});
  EXPECT_EQ(r.exit_code, 0);
  // The old report, then where it is, then the count.
  EXPECT_EQ(r.err,
            "\nunrecognised text character\tskipping"
            "\nd.txt:1:4: note: message 0: \"\xE3\x82\x8E\" is not a character of the game: skipped"
            "\ntxt2msg: d.txt: 1 warning\n");
  EXPECT_EQ(to_hex(read_bytes(dir / "d.bin")), "41 42 C1");
}

TEST(Txt2msgCli, HostileInputNeverHangsOrCrashes) {
  const std::string inputs[] = {
      "", "[", "#", "\t", std::string("\0\0\xEF", 3), std::string(5000, '['), "1\t#4", "\xE3",
  };
  for (const auto& in : inputs) {
    TempDir dir;
    write_text(dir / "d.txt", in);
    const RunResult r = run(program("txt2msg"), {"/Q", "d.txt"}, "", dir.path(), 20);
    EXPECT_EQ(r.exit_code, 0) << to_hex(bytes_of(in));
    EXPECT_TRUE(fs::exists(dir / "d.bin"));
  }
}

TEST(Txt2msgCli, CompilesTagsWithTheirDiagnostics) {
  TempDir dir;
  write_text(dir / "d.txt", kBom +
                                "1\tHi[player]!\n"
                                "2\t[jump][color 255 128][h-tsu][hs-su][TIME]\n"
                                "3\t[select 7 2F0A][menu 10 11 12 13 14 15][ string 26 ]\n"
                                "4\tA[Caps]B[sound]\n"
                                "5\tend[unknown]\n");
  const RunResult r = txt2msg(dir, {"d.txt"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(
      r.err,
      "\nimproper!\t[jump xxxx]\txxxx: msg_txt ID"
      "\nd.txt:2:3: note: message 1: [jump]: a message ID is missing: 0000 written"
      "\nimproper!\t[color r g b] or [color #i r g b]"
      "\nd.txt:2:9: note: message 1: [color 255 128]: three numbers (red, green, blue) are "
      "needed: 0 written for the missing"
      "\nimproper!\t[selected # xxxx]  #: 1-6, xxxx: msg_txt ID"
      "\nd.txt:3:3: note: message 2: [select 7 2F0A]: 7 is not a choice from 1 to 6: 1 taken"
      "\nimproper!\t[string #]  #: 1-25 only"
      "\nd.txt:3:42: note: message 2: [ string 26 ]: 26 is not a string from 1 to 25: 25 taken"
      "\nd.txt:4:4: warning: message 3: [Caps] is not a tag: two zero bytes written"
      "\nd.txt:4:11: note: message 3: [sound]: a number is missing: 0 written"
      "\nd.txt:5:6: warning: message 4: [unknown] is not a tag: two zero bytes written"
      "\ntxt2msg: d.txt: 7 warnings\n");
  EXPECT_EQ(to_hex(read_bytes(dir / "d.bin")),
            to_hex(hex("48 69 7F 1A 21 "
                       "7F 0E 00 00 7F 05 FF 80 00 0C CC "
                       "7F 21 3A 7F 22 20 7F 76 20 6F 6E 20 7F 1E CD 7F 20 2C 20 7F 1D "
                       "7F 0F 2F 0A 7F 7A 00 10 00 11 00 12 00 13 00 14 00 15 7F 35 "
                       "41 00 00 42 7F 59 00 "
                       "65 6E 64 00 00")));
  // An unknown tag at the very end still takes its two bytes: the body is as long as the index
  // says.
  EXPECT_EQ(to_hex(read_bytes(dir / "d.tbl")),
            to_hex(hex("00 00 00 05 00 00 00 25 00 00 00 39 00 00 00 40 00 00 00 45 00 00 00 00")));
}

TEST(Txt2msgCli, AnUnclosedHexRunOrTagIsReportedAndLaterMessagesKept) {
  TempDir dir;
  write_text(dir / "d.txt", kBom + "1\tA[b\n2\tB #4\n3\tC\n");
  const RunResult r = txt2msg(dir, {"-o", "d.txt"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(without_located_lines(r.err),
            "\ntxt2msg: d.txt: the tag ('[') at byte 6 is not closed before the end of the file\n"
            "\ntxt2msg: d.txt: 2 warnings\n");
  // The line is followed by a note that names the place as line and column.
  const std::string located = located_only(r.err);
  EXPECT_TRUE(located.ends_with("\nd.txt:1:4: note: the tag that is not closed begins here\n"))
      << located;
  EXPECT_EQ(read_bytes(dir / "d.off"), hex("00 00 00 03 00 00 00 05 00 00 00 01"));
  EXPECT_EQ(to_hex(read_bytes(dir / "d.bin")), "41 00 00 42 20 04 03 0C 43");
}

TEST(Txt2msgCli, EverySlipThatChangesTheMessagesGetsALocatedWarning) {
  // The bytes stay what they always were; what is new is the line that says where and what.
  struct Slip {
    std::string dump;  // after a byte-order mark
    std::string lines;
    std::vector<std::string> switches{};
    std::string name = "d.txt";
  };
  const std::string pairs = "(the game has no '$'; the pairs are $- $. $8 $d $h $n $o $q $r $s)";
  const Slip slips[] = {
      {"0\tA\n\n1\tB\n",
       "d.txt:2:1: warning: message 1: a blank line is passed over as this message's line number, "
       "so the next line's number becomes its text, and every later message moves\n"
       "d.txt:3:3: warning: message 2: the message before ends at a tab, and \"B\" after it is "
       "passed over as this message's line number, and every later message moves\n"},
      // A blank line of a CRLF dump is named at its first column too.
      {"0\tA\r\n\r\n1\tB\r\n",
       "d.txt:2:1: warning: message 1: a blank line is passed over as this message's line number, "
       "so the next line's number becomes its text, and every later message moves\n"
       "d.txt:3:3: warning: message 2: the message before ends at a tab, and \"B\" after it is "
       "passed over as this message's line number, and every later message moves\n"},
      {"0\tA\n1 B\n",
       "d.txt:2:1: warning: message 1: the line has no line number and tab: \"1 B\" is passed "
       "over as this message's line number and lost, and every later message moves\n"},
      {"0\tA\tB\n",
       "d.txt:1:5: warning: message 1: the message before ends at a tab, and \"B\" after it is "
       "passed over as this message's line number, and every later message moves\n"},
      {"0\tItem #5 costs 10\n1\tok #41#\n",
       "d.txt:1:8: warning: message 0: the '#' here starts a hex run that runs on past the end of "
       "its line to the next '#', and what lies between is not text (write #23# for a '#' in "
       "text)\n"},
      {"0\tPress [A to start\n1\tok]\n",
       "d.txt:1:9: warning: message 0: the '[' here starts a tag that runs on past the end of its "
       "line to the next ']', and what lies between is not text (write #5B# for a '[' in text)\n"},
      {"0\t#4 1G#\n",
       "d.txt:1:3: warning: message 0: the hex run #4 1G# holds characters other than hex digits "
       "and blanks, which are skipped (write #23# for a '#' in text)\n"},
      {"0\t[jump 1A2O][pause abc][color 255 l28 0]\n",
       "d.txt:1:9: warning: message 0: [jump 1A2O]: \"1A2O\" is not a message ID (hexadecimal "
       "digits): read as 01A2\n"
       "d.txt:1:21: warning: message 0: [pause abc]: \"abc\" is not a number: read as 0\n"
       "d.txt:1:36: warning: message 0: [color 255 l28 0]: \"l28\" is not a number: read as 0\n"},
      {"0\t[jump 1A2B 3C4D][color 300 0 0][plyer]\n",
       "d.txt:1:14: warning: message 0: [jump 1A2B 3C4D]: \"3C4D\" is more than the tag takes: "
       "ignored\n"
       "d.txt:1:26: warning: message 0: [color 300 0 0]: \"300\" does not fit in a byte (0 to "
       "255): 44 written\n"
       "d.txt:1:34: warning: message 0: [plyer] is not a tag: two zero bytes written\n"},
      {"0\tok\n1\t\xEF\xBC\xA1 caf\xE9 x\n",
       "d.txt:2:3: note: message 1: \"\xEF\xBC\xA1\" is not a character of the game: skipped\n"
       "d.txt:2:8: note: message 1: the bytes E9 20 78 are not a UTF-8 character (is the text "
       "single-byte, not UTF-8?): all three skipped\n"},
      // What the decompiler writes compiles silently.
      {"0\t#7F 06#[jump 1A2B][color #2 255 0 0]$q\n", ""},
      // Escape leads without their pair.
      {"0\tOnly $50, [player]: $[player]\n1\tC:\\temp\\\n",
       ("d.txt:1:8: warning: message 0: \"$5\" is no escape pair: it writes 0x24, which msg2txt "
        "writes back as \xE3\x82\x81, and drops the 5 " +
        pairs +
        "\nd.txt:1:23: warning: message 0: \"$[\" is no escape pair: it writes 0x24, which "
        "msg2txt writes back as \xE3\x82\x81, and the '[' starts no tag " +
        pairs +
        "\nd.txt:2:5: warning: message 1: \"\\t\" is no escape pair: it writes 0x5C, which "
        "msg2txt writes back as +, and drops the t (the game has no '\\'; the pairs are \\n "
        "\\r)\nd.txt:2:10: warning: message 1: the '\\' at the end of the message is no escape "
        "pair: it writes 0x5C, which msg2txt writes back as + (the game has no '\\'; the pairs "
        "are \\n \\r)\n")},
      // UTF-8 characters whose bytes are copied, and a four-byte one.
      {"0\tBonjour\xC2\xA0! \xE0\xA4\x85\n1\t\xF0\x9F\x98\x80!\n",
       "d.txt:1:10: warning: message 0: U+00A0 '\xC2\xA0' is not a character of the game: its two "
       "bytes, 0xC2 0xA0, are written as they are, which msg2txt writes back as "
       "\xE3\x82\x92\xE3\x82\xBF (write a character the game has; #C2 A0# keeps these bytes "
       "without a warning)\n"
       "d.txt:1:13: warning: message 0: U+0905 '\xE0\xA4\x85' is not a character of the game: its "
       "three bytes, 0xE0 0xA4 0x85, are written as they are, which msg2txt writes back as "
       "\xE3\x83\x99\xE3\x83\x88\xE3\x83\xBB (write a character the game has; #E0 A4 85# keeps "
       "these bytes without a warning)\n"
       "d.txt:2:3: note: message 1: U+1F600 '\xF0\x9F\x98\x80' is not a character of the game: its "
       "first three bytes are skipped and its last byte, 0x80, is written, which msg2txt writes "
       "back as #80#\n"},
      // Line numbers that count the messages, but skip, repeat or go back; then the same dump
      // numbered by IDs that do not count from 0 or 1.
      {"0\tA\n1\tB\n2\tC\n4\tE\n5\tF\n5\tF\n",
       "d.txt:4:1: warning: message 3: the line numbers skip from 2 to 4, but the lines are taken "
       "in order, not by their numbers: this line is taken as 3, and every later message moves "
       "with it (a line deleted? \"3<TAB>\" is an empty message)\n"
       "d.txt:6:1: warning: message 5: the line number 5 repeats, but the lines are taken in "
       "order, not by their numbers: this line is taken as 5, and every later message moves with "
       "it (a line doubled or moved?)\n"},
      {"1\tA\n2\tB\n3\tC\n2\tD\n3\tE\n",
       "d.txt:4:1: warning: message 3: the line numbers go back from 3 to 2, but the lines are "
       "taken in order, not by their numbers: this line is taken as 4, and every later message "
       "moves with it (a line doubled or moved?)\n"},
      {"100\tA\n105\tB\n101\tC\n", ""},
      // Without line numbers: a tab inside a line, numbered lines, blank lines at the end.
      {"A\tB\n12\tC\n13\tD\n\r\n\n",
       "d.txt:1:2: warning: message 1: a tab ends a message, so \"B\" after it is a message of its "
       "own, and every later message moves (the game has no tab: write blanks)\n"
       "d.txt:2:1: warning: message 2: the line starts with a number and a tab, as lines with line "
       "numbers do, but with /L the number \"12\" is a message of its own, and every later "
       "message moves (compile without /L to pass the numbers over)\n"
       "d.txt:4:1: warning: message 6: the 2 blank lines at the end of the file are empty "
       "messages of their own (delete them if no messages are meant; ## is an empty message that "
       "says so)\n",
       {"/L"}},
      // An old Mac's line ends, with and without line numbers: located on their own lines.
      {"A\rB\rC\r",
       "d.txt:1:2: warning: message 0: a carriage return alone (an old Mac's line end, as Excel "
       "for Mac saves text) ends no message: the text after it stays in this one (save the file "
       "with LF or CR LF line ends)\n",
       {"/L"}},
      {"0\tA\r1\tB\r",
       "d.txt:1:4: warning: message 0: a carriage return alone (an old Mac's line end, as Excel "
       "for Mac saves text) ends no message: the text after it stays in this one (save the file "
       "with LF or CR LF line ends)\n"
       "d.txt:2:3: warning: message 1: the message before ends at a tab, and \"B\" after it is "
       "passed over as this message's line number, and every later message moves\n"},
      // A name cannot forge a line of its own.
      {"0\t[plyer]\n",
       "d\\x0A.txt:1:1: error: x\\x1B.txt:1:3: warning: message 0: [plyer] is not a tag: two "
       "zero bytes written\n",
       {},
       "d\n.txt:1:1: error: x\x1B.txt"},
  };
  for (const Slip& slip : slips) {
    // Systems whose file names hold no control bytes cannot try the last one.
    if (slip.name != "d.txt" && !posix_programs()) continue;
    TempDir dir;
    write_text(dir / slip.name, kBom + slip.dump);
    std::vector<std::string> args = slip.switches;
    args.push_back(slip.name);
    const RunResult r = txt2msg(dir, args);
    EXPECT_EQ(r.exit_code, 0) << slip.dump;
    EXPECT_EQ(located_only(r.err), slip.lines) << slip.dump;
    // Nor does the count at the end.
    EXPECT_TRUE(slip.name == "d.txt" || r.err.find(slip.name) == std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(" warning\n") != std::string::npos ||
                  r.err.find(" warnings\n") != std::string::npos,
              !slip.lines.empty())
        << "the count at the end: " << r.err;
  }
}
