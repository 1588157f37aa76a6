// The simulator's command language: one command a line, from a scenario file
// or standard input. Parsing is separate from running, so every malformed
// line is caught (with its reason) before anything happens. Plain functions
// over values; safe from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HulMfw.h"
#include "zepsim/GatewayState.h"

namespace zepsim {

enum class CommandKind {
    Add,        // add TYPE DN [field=value ...]     add or change a terminal
    Change,     // change TYPE DN field=value ...    change an existing one
    Delete,     // delete TYPE DN                    one terminal (event 8)
    DeleteAll,  // delete TYPE all | delete TYPE 0   every terminal (event 8, DN 0)
    Generate,   // generate TYPE N [FIRST_DN]        N terminals with generated values
    Mode,       // mode cedar|alder|birch|off
    Event,      // event HEX                         a raw event record
    Flood,      // flood N [TYPE]                    N terminal record updates
    RawFlood,   // rawflood N CLASS                  N event-sized messages of a framework class
    Send,       // send CLASS HEX                    one message body as it is
    Received,   // received N                        the Nth message received, as it came
    Pause,      // pause MS
    Status,     // status
    Show,       // show TYPE DN
    Stop,       // stop                              leave the framework, exit 0
    Crash,      // crash                             exit at once, no goodbye
    Help,       // help
};

struct Command {
    CommandKind kind = CommandKind::Help;
    CallServer type = CallServer::Cedar;
    bool typeGiven = false;  // flood: a TYPE was named
    bool modeOn = true;      // mode: false for "off"
    uint32_t dn = 0;
    uint32_t count = 0;      // generate, flood, rawflood, received
    uint16_t msgClass = 0;   // rawflood, send
    uint32_t firstDn = 0;    // generate
    uint32_t ms = 0;         // pause
    std::vector<unsigned char> bytes;  // event: the record from its type word on; send: the body
    TerminalFields fields;   // add, change
};

// The result of parsing one line: nothing to do (blank or '#' comment), a
// command, or the reason the line is wrong.
struct ParsedLine {
    enum Status { Empty, Ok, Error } status = Empty;
    Command command;
    std::string error;
};

ParsedLine parseCommand(const std::string& line);

// The text of a value as commands write it: bare when it is a plain word,
// else in double quotes with '"' and '\' escaped by a backslash.
std::string quoteText(const std::string& text);

// Longest event record a raw event command may carry, and longest message body
// a send command may carry (the framework's limit).
inline constexpr std::size_t kMaxRawEvent = sZepToOamEvents::kSize;
inline constexpr std::size_t kMaxRawBody = HUL_MFW_MAX_BODY;

// The --help text: options, commands, examples.
const char* usageText();

}  // namespace zepsim
