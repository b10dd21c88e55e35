#include "import/clonecd.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "base/fatal_error.hpp"

namespace glyphreel {
namespace {

std::string entry(int number, int session, const std::string& point, int adr,
                  int control, long plba) {
  const long msf = plba + 150;
  return "[Entry " + std::to_string(number) +
         "]\r\nSession=" + std::to_string(session) + "\r\nPoint=" + point +
         "\r\nADR=0x0" + std::to_string(adr) + "\r\nControl=0x0" +
         std::to_string(control) +
         "\r\nTrackNo=0\r\nAMin=0\r\nASec=0\r\nAFrame=0\r\nALBA=-150\r\n"
         "Zero=0\r\nPMin=" +
         std::to_string(msf / 4500) +
         "\r\nPSec=" + std::to_string(msf / 75 % 60) +
         "\r\nPFrame=" + std::to_string(msf % 75) +
         "\r\nPLBA=" + std::to_string(plba) + "\r\n";
}

// An enhanced CD as a ripper writes it: two audio tracks in session 1 and a
// data track in session 2.
const std::string enhanced_cd =
    "[CloneCD]\r\nVersion=3\r\n[Disc]\r\nTocEntries=11\r\nSessions=2\r\n"
    "DataTracksScrambled=0\r\nCDTextLength=0\r\n"
    "[Session 1]\r\nPreGapMode=0\r\nPreGapSubC=0\r\n"
    "[Session 2]\r\nPreGapMode=2\r\nPreGapSubC=0\r\n" +
    entry(0, 1, "0xa0", 1, 0, 4350) + entry(1, 1, "0xa1", 1, 0, 6600) +
    entry(2, 1, "0xa2", 1, 0, 30000) + entry(3, 1, "0x01", 1, 0, 0) +
    entry(4, 1, "0x02", 1, 0, 15000) + entry(5, 1, "0xb0", 5, 0, 41250) +
    entry(6, 1, "0xc0", 5, 0, 61200) + entry(7, 2, "0xa0", 1, 4, 13500) +
    entry(8, 2, "0xa1", 1, 4, 13500) + entry(9, 2, "0xa2", 1, 4, 50000) +
    entry(10, 2, "0x03", 1, 4, 41400) +
    "[TRACK 1]\r\nMODE=0\r\nINDEX 1=0\r\n"
    "[TRACK 2]\r\nMODE=0\r\nINDEX 0=14850\r\nINDEX 1=15000\r\n"
    "[TRACK 3]\r\nMODE=2\r\nINDEX 1=41400\r\n";

std::string replaced(std::string text, const std::string& from,
                     const std::string& to) {
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(CloneCd, ReadsTheFirstSession) {
  const CloneCdDisc two_audio = {{{0, false}, {15000, false}}, 30000, 2};
  EXPECT_EQ(parse_clonecd(enhanced_cd, "disc.ccd"), two_audio);

  // Lower case, LF line ends and blanks around '=' read the same.
  std::string loose;
  for (const char c : enhanced_cd) {
    if (c == '=') {
      loose += " = ";
    } else if (c != '\r') {
      loose += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  EXPECT_EQ(parse_clonecd(loose, "disc.ccd"), two_audio);

  // The data bit is the entry's Control bit 2.
  const CloneCdDisc data_first = {{{0, true}, {15000, false}}, 30000, 2};
  EXPECT_EQ(parse_clonecd(replaced(enhanced_cd, entry(3, 1, "0x01", 1, 0, 0),
                                   entry(3, 1, "0x01", 1, 4, 0)),
                          "disc.ccd"),
            data_first);
}

std::size_t line_of(const std::string& text, const std::string& needle) {
  return 1 + static_cast<std::size_t>(std::count(
                 text.begin(), text.begin() + text.find(needle), '\n'));
}

TEST(CloneCd, RefusesNamingTheLineAndKey) {
  struct Refusal {
    std::string from, to;
    std::string at;  // the text on the line named, or "" for none
    std::string message;
  };
  const std::vector<Refusal> refusals = {
      {"PLBA=30000", "PLBA=3O000", "PLBA=3O000",
       "PLBA=3O000 is not a whole number from 0 to 4294967295"},
      {"Point=0xa2\r\nADR=0x01\r\nControl=0x00",
       "Point=0xa3\r\nADR=0x01\r\nControl=0x00", "",
       "no lead-out: no [Entry] with Session=1, ADR=1 and Point=0xa2"},
      {"PLBA=30000", "PLBA=15000", "PLBA=15000",
       "the lead-out PLBA=15000 does not come after track 2's INDEX 1=15000"},
      {"INDEX 1=15000", "INDEX 1=00", "INDEX 1=00",
       "[TRACK 2] INDEX 1=0 does not come after track 1's INDEX 1=0"},
      {"INDEX 1=15000\r\n", "", "[TRACK 2]", "[TRACK 2] has no INDEX 1"},
      {"[TRACK 2]", "[TRACK 5]", "", "no [TRACK 2] for track 2 of session 1"},
      {"[TRACK 2]", "[Track  1]", "[Track  1]",
       "[Track  1] comes twice, first on line " +
           std::to_string(line_of(enhanced_cd, "[TRACK 1]"))},
      {"Point=0x02", "Point=0x04", "[Entry 4]",
       "[Entry 4] is track 4 after track 1: track numbers count up by one"},
      {"Sessions=2", "Sessionz=2", "[Disc]", "[Disc] has no Sessions"},
      {"TocEntries=11", "TocEntries=12", "TocEntries=12",
       "TocEntries=12 but there are 11 [Entry] sections"},
      {"Version=3", "Version 3", "Version 3", "no '=' after the key"},
      {"[Session 1]", "[Session 1", "[Session 1",
       "no ']' closes the section name"},
      // Keys, values and section names from the file are shown escaped.
      {"PLBA=30000", "PLBA=3\x1b[2J", "PLBA=3",
       "PLBA=3\\u{1b}[2J is not a whole number from 0 to 4294967295"},
      {"Version=3", "Ver\xffsion=3\r\nVER\xffSION=4", "VER\xffSION",
       "VER\\x{ff}SION comes twice in [CloneCD], first on line 2"},
      {"[TRACK 2]", "[X\x07]\r\n[x\x07]", "[x\x07]",
       "[x\\u{7}] comes twice, first on line " +
           std::to_string(line_of(enhanced_cd, "[TRACK 2]"))},
  };
  for (const Refusal& r : refusals) {
    const std::string text = replaced(enhanced_cd, r.from, r.to);
    const std::string where =
        r.at.empty()
            ? "disc.ccd: "
            : "disc.ccd line " + std::to_string(line_of(text, r.at)) + ": ";
    try {
      parse_clonecd(text, "disc.ccd");
      ADD_FAILURE() << "no refusal: " << r.message;
    } catch (const FatalError& error) {
      EXPECT_EQ(error.report(), where + r.message);
    }
  }
}

}  // namespace
}  // namespace glyphreel
