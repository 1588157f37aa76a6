// MOF text to the host's MOF reader, then what the host does with the classes
// it read: the class repository, and each class written as a GetClass answer
// (with and without qualifiers), which must be well-formed XML 1.0 by
// libxml2's strict parser, naming the class. A refused text must name a line
// inside it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include "ClassModel.hpp"
#include "CimXmlWriter.hpp"
#include "MofParser.hpp"

using namespace cimhost;

namespace {

[[noreturn]] void finding(const std::string& what, const std::string& detail) {
    std::fprintf(stderr, "fuzz_mof: %s\n%s\n", what.c_str(), detail.c_str());
    std::abort();
}

void checkClassXml(const ClassDef& cls, bool includeQualifiers) {
    std::string xml;
    CimXmlWriter(xml, "localhost").classDefinition(cls, includeQualifiers);
    xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "class.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    if (!doc) {
        const xmlError* e = xmlGetLastError();
        finding(std::string("class XML is not well-formed: ") + (e && e->message ? e->message : "?"), xml);
    }
    const xmlNodePtr root = xmlDocGetRootElement(doc);
    xmlChar* name = root && xmlStrcmp(root->name, BAD_CAST "CLASS") == 0 ? xmlGetProp(root, BAD_CAST "NAME") : nullptr;
    const bool named = name && cls.name == reinterpret_cast<const char*>(name);
    xmlFree(name);
    xmlFreeDoc(doc);
    if (!named) finding("class XML names another class", xml);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    xmlInitParser();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const MofResult mof = parseMof(text);
    if (!mof.ok) {
        const int lines = 1 + static_cast<int>(std::count(text.begin(), text.end(), '\n'));
        if (mof.errorLine < 1 || mof.errorLine > lines || mof.errorText.empty() || !mof.classes.empty())
            finding("refusal without a line inside the text", std::to_string(mof.errorLine) + ": " + mof.errorText);
        return 0;
    }
    ClassRepository repo;
    for (const ClassDef& cls : mof.classes) {
        repo.add(cls);
        checkClassXml(cls, true);
        checkClassXml(cls, false);
    }
    return 0;
}
