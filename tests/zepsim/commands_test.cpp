// The command language: what each command line becomes, and the reason given
// for every kind of malformed line.
#include <gtest/gtest.h>

#include "zepsim/Commands.h"

namespace zepsim {
namespace {

Command ok(const std::string& line) {
    const ParsedLine p = parseCommand(line);
    EXPECT_EQ(ParsedLine::Ok, p.status) << line << ": " << p.error;
    return p.command;
}

std::string error(const std::string& line) {
    const ParsedLine p = parseCommand(line);
    EXPECT_EQ(ParsedLine::Error, p.status) << line;
    return p.error;
}

TEST(Commands, BlankAndCommentLinesAreNothing) {
    EXPECT_EQ(ParsedLine::Empty, parseCommand("").status);
    EXPECT_EQ(ParsedLine::Empty, parseCommand("   \t").status);
    EXPECT_EQ(ParsedLine::Empty, parseCommand("# add cedar x").status);
    EXPECT_EQ(ParsedLine::Empty, parseCommand("  #comment").status);
}

TEST(Commands, AddTakesFieldsWithQuotedTexts) {
    const Command d = ok(R"(add Alder 4000 mac=00-1B-4f-0a-0b-0c ip=192.168.1.10 modn="Desk \"4\" \\ left" status=up)");
    EXPECT_EQ(CommandKind::Add, d.kind);
    EXPECT_EQ(CallServer::Alder, d.type);
    EXPECT_EQ(4000u, d.dn);
    ASSERT_TRUE(d.fields.mac);
    EXPECT_EQ((sZepIPSetTableGet::HWIDBytes{0x00, 0x1b, 0x4f, 0x0a, 0x0b, 0x0c}), *d.fields.mac);
    EXPECT_EQ(0xC0A8010Au, *d.fields.ip);
    EXPECT_EQ("Desk \"4\" \\ left", *d.fields.buid);
    EXPECT_EQ("up", *d.fields.setStatus);
    EXPECT_FALSE(d.fields.motn);
    // An empty quoted text is a value: it clears the field.
    EXPECT_EQ("", *ok(R"(change cedar 1 motn="")").fields.motn);
}

TEST(Commands, QuotedTextsRoundTrip) {
    for (const std::string text : {"plain", "two words", "", "q\"uote", "back\\slash", "tab\there"}) {
        const Command c = ok("add cedar 5 status=" + quoteText(text));
        EXPECT_EQ(text, *c.fields.setStatus) << quoteText(text);
    }
}

TEST(Commands, TextsLongerThanTheirFieldAreRefused) {
    EXPECT_TRUE(ok("add cedar 1 motn=" + std::string(15, 'm')).fields.motn);
    EXPECT_EQ("motn is 16 bytes, at most 15 fit", error("add cedar 1 motn=" + std::string(16, 'm')));
    EXPECT_TRUE(ok("add cedar 1 buid=" + std::string(34, 'b')).fields.buid);
    EXPECT_EQ("modn is 35 bytes, at most 34 fit", error("add birch 1 modn=" + std::string(35, 'b')));
    EXPECT_EQ("fw is 13 bytes, at most 12 fit", error("add cedar 1 fw=" + std::string(13, 'f')));
    EXPECT_EQ("status is 81 bytes, at most 80 fit", error("add cedar 1 status=" + std::string(81, 's')));
}

TEST(Commands, MalformedLinesSayWhatIsWrong) {
    EXPECT_EQ("unknown command 'launch' (try help)", error("launch cedar"));
    EXPECT_EQ("unknown call-server type 'oak' (cedar, alder or birch)", error("add oak 5"));
    EXPECT_EQ("DN 0 names no terminal (it stands for all of them)", error("add cedar 0"));
    EXPECT_EQ("DN '4294967296' is not a number from 0 to 4294967295", error("add cedar 4294967296"));
    EXPECT_EQ("DN '-1' is not a number from 0 to 4294967295", error("show cedar -1"));
    EXPECT_EQ("'motn' is not field=value", error("add cedar 5 motn"));
    EXPECT_EQ("unknown field 'color' (mac, ip, fw, buid, modn, motn, status)", error("add cedar 5 color=red"));
    EXPECT_EQ("mac '00:11:22:33:44' is not six hex bytes like 00:1b:4f:0a:0b:0c", error("add cedar 5 mac=00:11:22:33:44"));
    EXPECT_EQ("mac '00-1b-4f:0a:0b:0c' is not six hex bytes like 00:1b:4f:0a:0b:0c",
              error("add cedar 5 mac=00-1b-4f:0a:0b:0c"));
    EXPECT_EQ("ip '10.0.0.256' is not a dotted IPv4 address", error("add cedar 5 ip=10.0.0.256"));
    EXPECT_EQ("ip '10.0.0' is not a dotted IPv4 address", error("add cedar 5 ip=10.0.0"));
    EXPECT_EQ("unterminated quoted text", error("add cedar 5 motn=\"open"));
    EXPECT_EQ("change names no field", error("change cedar 5"));
    EXPECT_EQ("usage: delete TYPE DN|all", error("delete cedar"));
    EXPECT_EQ("usage: status", error("status now"));
    EXPECT_EQ("the DNs would run past 4294967295", error("generate cedar 2 4294967295"));
    EXPECT_EQ("N must be at least 1", error("flood 0"));
    EXPECT_EQ("pause at most 600000 ms", error("pause 600001"));
    EXPECT_EQ("CLASS is a 16-bit framework message class", error("rawflood 10 65536"));
    EXPECT_EQ("'0400000' is not an even number of hex digits", error("event 0400000"));
    EXPECT_EQ("'zz000000' is not an even number of hex digits", error("event zz000000"));
    EXPECT_EQ("an event record is 4 to 336 bytes, not 337", error("event " + std::string(674, '0')));
    EXPECT_EQ("a message body is 1 to 4096 bytes, not 4097", error("send 4 " + std::string(8194, '0')));
    EXPECT_EQ("CLASS is a 16-bit framework message class", error("send 65536 03"));
    EXPECT_EQ("N must be at least 1", error("received 0"));
    EXPECT_EQ("mode cedar|alder|birch|off", error("mode").substr(7));
}

TEST(Commands, DeleteAllHasTwoSpellings) {
    EXPECT_EQ(CommandKind::DeleteAll, ok("delete birch all").kind);
    EXPECT_EQ(CommandKind::DeleteAll, ok("delete birch 0").kind);
    const Command one = ok("delete birch 17");
    EXPECT_EQ(CommandKind::Delete, one.kind);
    EXPECT_EQ(17u, one.dn);
}

TEST(Commands, OtherCommandsTakeTheirArguments) {
    const Command g = ok("generate birch 10000");
    EXPECT_EQ(10000u, g.count);
    EXPECT_EQ(1000u, g.firstDn);
    EXPECT_EQ(7000u, ok("generate birch 3 7000").firstDn);
    EXPECT_FALSE(ok("mode off").modeOn);
    EXPECT_EQ(CallServer::Birch, ok("mode BIRCH").type);
    EXPECT_EQ((std::vector<unsigned char>{0x08, 0, 0, 0, 0xff}), ok("event 08000000fF").bytes);
    const Command f = ok("flood 500 alder");
    EXPECT_EQ(500u, f.count);
    EXPECT_TRUE(f.typeGiven);
    EXPECT_FALSE(ok("flood 500").typeGiven);
    EXPECT_EQ(250u, ok("pause 250").ms);
    const Command raw = ok("rawflood 20000 65535");
    EXPECT_EQ(CommandKind::RawFlood, raw.kind);
    EXPECT_EQ(20000u, raw.count);
    EXPECT_EQ(65535, raw.msgClass);
    const Command send = ok("send 4 03ff");
    EXPECT_EQ(4, send.msgClass);
    EXPECT_EQ((std::vector<unsigned char>{0x03, 0xff}), send.bytes);
    EXPECT_EQ(7u, ok("received 7").count);
    EXPECT_EQ(CommandKind::Crash, ok("crash").kind);
    EXPECT_EQ(CommandKind::Stop, ok(" stop ").kind);
}

}  // namespace
}  // namespace zepsim
