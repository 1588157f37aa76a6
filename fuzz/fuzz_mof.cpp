// MOF text to the host's MOF reader, then what the host does with the classes
// it read: the class repository, and each class written as a GetClass answer
// (with and without qualifiers), which must be well-formed XML naming the
// class. A refused text must name a line inside it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <pugixml.hpp>

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
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer(xml.data(), xml.size());
    if (!parsed) finding(std::string("class XML is not well-formed: ") + parsed.description(), xml);
    if (cls.name != doc.child("CLASS").attribute("NAME").value()) finding("class XML names another class", xml);
}

}  // namespace

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
