// MOF text to class definitions: the subset the provider's MOF uses.
//
// Accepted: // and /* */ comments; #pragma lines (ignored); qualifier type
// declarations (Qualifier Name : type [= value], Scope(...), Flavor(...);
// parsed and ignored); class declarations with qualifier lists, an optional
// superclass, properties (scalar and array, optional default value),
// reference properties (Class REF name) and methods with parameters.
// Instance declarations and other MOF statements are errors.
//
// A pure function of its input, safe from any thread.
#pragma once

#include <string>
#include <vector>

#include "ClassModel.hpp"

namespace cimhost {

struct MofResult {
    std::vector<ClassDef> classes;
    bool ok = true;
    int errorLine = 0;       // 1-based line of the error
    std::string errorText;   // what was expected or found there
};

MofResult parseMof(const std::string& text);

}  // namespace cimhost
