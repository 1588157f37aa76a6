#include "zepsim/Commands.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace zepsim {

namespace {

// Splits a line into words at blanks; double quotes group blanks into a word
// and a backslash inside them takes the next character as it is.
bool tokenize(const std::string& line, std::vector<std::string>* words, std::string* error) {
    std::string word;
    bool inWord = false, quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '\\') {
                if (++i == line.size()) break;
                word.push_back(line[i]);
            } else if (c == '"') {
                quoted = false;
            } else {
                word.push_back(c);
            }
        } else if (c == '"') {
            quoted = inWord = true;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            if (inWord) words->push_back(word);
            word.clear();
            inWord = false;
        } else {
            word.push_back(c);
            inWord = true;
        }
    }
    if (quoted) {
        *error = "unterminated quoted text";
        return false;
    }
    if (inWord) words->push_back(word);
    return true;
}

bool parseU32(const std::string& s, uint32_t* out) {
    if (s.empty() || s.size() > 10) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    const unsigned long long v = std::strtoull(s.c_str(), nullptr, 10);
    if (v > 0xFFFFFFFFull) return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

bool parseHex(const std::string& s, std::vector<unsigned char>* out) {
    if (s.size() % 2) return false;
    out->clear();
    for (std::size_t i = 0; i < s.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(s[i])) || !std::isxdigit(static_cast<unsigned char>(s[i + 1])))
            return false;
        out->push_back(static_cast<unsigned char>(std::stoul(s.substr(i, 2), nullptr, 16)));
    }
    return true;
}

struct Parser {
    const std::vector<std::string>& w;
    ParsedLine result;

    bool fail(std::string why) {
        result.status = ParsedLine::Error;
        result.error = std::move(why);
        return false;
    }
    bool arity(std::size_t least, std::size_t most, const char* usage) {
        if (w.size() < least || w.size() > most) return fail(std::string("usage: ") + usage);
        return true;
    }
    bool type(std::size_t at) {
        const auto t = callServerFromName(w[at]);
        if (!t) return fail("unknown call-server type '" + w[at] + "' (cedar, alder or birch)");
        result.command.type = *t;
        return true;
    }
    bool number(std::size_t at, const char* what, uint32_t* out) {
        if (!parseU32(w[at], out)) return fail(std::string(what) + " '" + w[at] + "' is not a number from 0 to 4294967295");
        return true;
    }
    bool dn(std::size_t at) {
        if (!number(at, "DN", &result.command.dn)) return false;
        if (result.command.dn == 0) return fail("DN 0 names no terminal (it stands for all of them)");
        return true;
    }
    bool msgClass(std::size_t at) {
        uint32_t v = 0;
        if (!number(at, "CLASS", &v)) return false;
        if (v > 0xFFFF) return fail("CLASS is a 16-bit framework message class");
        result.command.msgClass = static_cast<uint16_t>(v);
        return true;
    }
    // HEX of least to most bytes; what names them in the reason.
    bool bytes(std::size_t at, std::size_t least, std::size_t most, const char* what) {
        std::vector<unsigned char>& b = result.command.bytes;
        if (!parseHex(w[at], &b)) return fail("'" + w[at] + "' is not an even number of hex digits");
        if (b.size() < least || b.size() > most)
            return fail(std::string(what) + " is " + std::to_string(least) + " to " + std::to_string(most) +
                        " bytes, not " + std::to_string(b.size()));
        return true;
    }
    bool text(const std::string& key, const std::string& value, std::size_t width, std::optional<std::string>* out) {
        if (value.size() > width)
            return fail(key + " is " + std::to_string(value.size()) + " bytes, at most " + std::to_string(width) +
                        " fit");
        *out = value;
        return true;
    }
    bool fields(std::size_t from) {
        TerminalFields& f = result.command.fields;
        for (std::size_t i = from; i < w.size(); ++i) {
            const std::size_t eq = w[i].find('=');
            if (eq == std::string::npos || eq == 0) return fail("'" + w[i] + "' is not field=value");
            const std::string key = w[i].substr(0, eq), value = w[i].substr(eq + 1);
            if (key == "mac") {
                f.mac = parseMac(value);
                if (!f.mac) return fail("mac '" + value + "' is not six hex bytes like 00:1b:4f:0a:0b:0c");
            } else if (key == "ip") {
                f.ip = parseIPv4(value);
                if (!f.ip) return fail("ip '" + value + "' is not a dotted IPv4 address");
            } else if (key == "fw") {
                if (!text(key, value, sZepIPSetTableGet::kFwVersionSize, &f.fwVersion)) return false;
            } else if (key == "buid" || key == "modn") {
                if (!text(key, value, sZepIPSetTableGet::kBUIDSize, &f.buid)) return false;
            } else if (key == "motn") {
                if (!text(key, value, sZepIPSetTableGet::kMOTNSize, &f.motn)) return false;
            } else if (key == "status") {
                if (!text(key, value, sZepIPSetTableGet::kSetStatusSize, &f.setStatus)) return false;
            } else {
                return fail("unknown field '" + key + "' (mac, ip, fw, buid, modn, motn, status)");
            }
        }
        return true;
    }

    bool parse() {
        Command& c = result.command;
        const std::string& verb = w[0];
        if (verb == "add" || verb == "change") {
            c.kind = verb == "add" ? CommandKind::Add : CommandKind::Change;
            if (!arity(3, 64, "add|change TYPE DN [mac=.. ip=.. fw=.. buid=.. modn=.. motn=.. status=..]")) return false;
            if (c.kind == CommandKind::Change && w.size() == 3) return fail("change names no field");
            return type(1) && dn(2) && fields(3);
        }
        if (verb == "delete") {
            if (!arity(3, 3, "delete TYPE DN|all")) return false;
            if (!type(1)) return false;
            if (w[2] == "all") {
                c.kind = CommandKind::DeleteAll;
                return true;
            }
            if (!number(2, "DN", &c.dn)) return false;
            c.kind = c.dn == 0 ? CommandKind::DeleteAll : CommandKind::Delete;
            return true;
        }
        if (verb == "generate") {
            c.kind = CommandKind::Generate;
            if (!arity(3, 4, "generate TYPE N [FIRST_DN]")) return false;
            if (!type(1) || !number(2, "N", &c.count)) return false;
            c.firstDn = 1000;
            if (w.size() == 4 && !number(3, "FIRST_DN", &c.firstDn)) return false;
            if (c.firstDn == 0) return fail("FIRST_DN must not be 0");
            if (static_cast<uint64_t>(c.firstDn) + c.count - 1 > 0xFFFFFFFFull)
                return fail("the DNs would run past 4294967295");
            return true;
        }
        if (verb == "mode") {
            c.kind = CommandKind::Mode;
            if (!arity(2, 2, "mode cedar|alder|birch|off")) return false;
            if (w[1] == "off") {
                c.modeOn = false;
                return true;
            }
            return type(1);
        }
        if (verb == "event") {
            c.kind = CommandKind::Event;
            return arity(2, 2, "event HEX") && bytes(1, 4, kMaxRawEvent, "an event record");
        }
        if (verb == "flood") {
            c.kind = CommandKind::Flood;
            if (!arity(2, 3, "flood N [TYPE]")) return false;
            if (!number(1, "N", &c.count)) return false;
            if (c.count == 0) return fail("N must be at least 1");
            if (w.size() == 3) {
                c.typeGiven = true;
                return type(2);
            }
            return true;
        }
        if (verb == "rawflood") {
            c.kind = CommandKind::RawFlood;
            if (!arity(3, 3, "rawflood N CLASS") || !number(1, "N", &c.count) || !msgClass(2)) return false;
            if (c.count == 0) return fail("N must be at least 1");
            return true;
        }
        if (verb == "send") {
            c.kind = CommandKind::Send;
            return arity(3, 3, "send CLASS HEX") && msgClass(1) && bytes(2, 1, kMaxRawBody, "a message body");
        }
        if (verb == "received") {
            c.kind = CommandKind::Received;
            if (!arity(2, 2, "received N") || !number(1, "N", &c.count)) return false;
            if (c.count == 0) return fail("N must be at least 1");
            return true;
        }
        if (verb == "pause") {
            c.kind = CommandKind::Pause;
            if (!arity(2, 2, "pause MS")) return false;
            if (!number(1, "MS", &c.ms)) return false;
            if (c.ms > 600000) return fail("pause at most 600000 ms");
            return true;
        }
        if (verb == "show") {
            c.kind = CommandKind::Show;
            return arity(3, 3, "show TYPE DN") && type(1) && dn(2);
        }
        struct Bare {
            const char* word;
            CommandKind kind;
        };
        static const Bare bare[] = {{"status", CommandKind::Status},
                                    {"stop", CommandKind::Stop},
                                    {"crash", CommandKind::Crash},
                                    {"help", CommandKind::Help}};
        for (const Bare& b : bare) {
            if (verb == b.word) {
                c.kind = b.kind;
                return arity(1, 1, b.word);
            }
        }
        return fail("unknown command '" + verb + "' (try help)");
    }
};

}  // namespace

ParsedLine parseCommand(const std::string& line) {
    std::vector<std::string> words;
    std::string error;
    ParsedLine empty;
    if (!tokenize(line, &words, &error)) {
        empty.status = ParsedLine::Error;
        empty.error = error;
        return empty;
    }
    if (words.empty() || words[0][0] == '#') return empty;
    Parser p{words, {}};
    if (p.parse()) p.result.status = ParsedLine::Ok;
    return p.result;
}

std::string quoteText(const std::string& text) {
    bool plain = !text.empty();
    for (char c : text)
        if (c == '"' || c == '\\' || std::isspace(static_cast<unsigned char>(c)) || !std::isprint(static_cast<unsigned char>(c)))
            plain = false;
    if (plain) return text;
    std::string q = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') q.push_back('\\');
        q.push_back(c);
    }
    q.push_back('"');
    return q;
}

const char* usageText() {
    return R"(zepsim: a gateway simulator. Joins the message framework as "zep", announces
link-up to the object manager's process and answers the provider's requests
like the gateway does; commands on standard input (or a scenario file) change
its terminals and mode.

Usage: zepsim [options]
  --peer NAME         framework name of the object manager's process (cimhost)
  --name NAME         own framework name (zep)
  --mode TYPE|off     starting mode: cedar, alder, birch or off (cedar)
  --terminals N       generate N terminals of the mode's type (Cedar when
                      the mode is off), DNs 1000...
  --scenario FILE     run the commands in FILE first, then those on stdin;
                      the file is checked whole first: with any malformed
                      line nothing runs, its errors are printed, exit code 2
  --announce-ms MS    interval between link-up announcements (100); 0: none,
                      a link-up goes out only by an event command
  --help              this text

Environment: HUL_MFW_DIR (framework socket directory), as for every
participant of the stand-in framework.

Output: "ready <own handle>" once joined; then exactly one line per command,
"ok ..." or "error line N: reason" (N counts the lines of the file or of
standard input, blank lines included). Blank lines and lines starting with
'#' are skipped without an answer. Notes about requests (redirects, refused
requests) go to standard error. End of standard input leaves the simulator
running; SIGTERM or SIGINT stop it as "stop" does.

Link-up (event 4) is announced to the peer until it asks for the mode
(request 7), and again whenever the peer appears with a new handle.
Requests answered: 7 mode record, 8 settings record of the type asked,
9 one terminal record per terminal of the type asked, 1 sets one setting
item and answers with the settings record, 4 sets a terminal's writable
block and answers with its record, 5 (redirect) is logged. Like the
gateway, it reports only the active type's data: 8 and 9 for another type
go unanswered, 1 and 4 for another type change its state silently.

Commands (TYPE is cedar, alder or birch; texts with blanks go in double
quotes, with \" and \\ inside):
  add TYPE DN [field=value ...]   add a terminal or change the given fields;
                                  fields: mac=00:1b:4f:0a:0b:0c ip=10.0.1.5
                                  fw=TEXT buid=TEXT modn=TEXT motn=TEXT
                                  status=TEXT (buid and modn are one field)
  change TYPE DN field=value ...  change fields of an existing terminal
  delete TYPE DN                  delete one terminal (event 8)
  delete TYPE all                 delete every terminal of the type (event 8
                                  with DN 0); "delete TYPE 0" is the same
  generate TYPE N [FIRST_DN]      add N generated terminals (DNs FIRST_DN...,
                                  default 1000), distinct MACs, IPs, texts
  mode TYPE|off                   change the mode and send the mode record
  event HEX                       send a raw event record (type word first,
                                  4 to 336 bytes, zero-padded to 336)
  flood N [TYPE]                  send N terminal record updates, cycling
                                  over the terminals in DN order; SetStatus
                                  becomes "flood <i>", i counting every
                                  update of every flood since the start
  rawflood N CLASS                send N messages of framework class CLASS
                                  with an event message's size, to measure
                                  the framework's own rate beside a flood
  send CLASS HEX                  send HEX (1 to 4096 bytes) to the peer as
                                  the body of one message of framework class
                                  CLASS, as it is: from the envelope's mark
                                  on for class 4, short or malformed alike
  received N                      the Nth message received since the start
                                  (the last 64 are kept): "ok received N from
                                  HANDLE HEX", its body from the mark on
  pause MS                        wait MS milliseconds before the next line
  status                          mode, terminals per type, requests seen
  show TYPE DN                    one terminal's fields
  stop                            leave the framework cleanly and exit 0
  crash                           exit at once (code 3) without leaving
  help                            list the commands

Terminal events go to the peer only for the type the mode has on; the
tables of the other types change silently and are sent when the mode
switches to them and the provider asks.

Examples:
  zepsim --mode cedar --terminals 10000
  zepsim --peer cimhost --mode alder --scenario lab.zep
  printf 'add cedar 4000 mac=00:1b:4f:0a:0b:0c motn="Desk 4"\nstatus\n' | zepsim
)";
}

}  // namespace zepsim
