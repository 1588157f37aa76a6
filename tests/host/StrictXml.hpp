// Whether an answer is well-formed XML 1.0, by a parser that neither writes
// nor reads it in the host: libxml2, strict (no recovery, no network).
#pragma once

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <string>

namespace xmlcheck {

// "" when text is one well-formed XML 1.0 document, else libxml2's reason and line.
inline std::string wellFormednessError(const std::string& text) {
    static const bool initialised = (xmlInitParser(), true);
    (void)initialised;
    xmlResetLastError();
    xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), "answer.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    if (doc) {
        xmlFreeDoc(doc);
        return "";
    }
    const xmlError* e = xmlGetLastError();
    std::string reason = e && e->message ? e->message : "not well-formed";
    while (!reason.empty() && reason.back() == '\n') reason.pop_back();
    return reason + " (line " + std::to_string(e ? e->line : 0) + ")";
}

}  // namespace xmlcheck
