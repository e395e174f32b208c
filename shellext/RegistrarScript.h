#pragma once
// The text form of the registration scripts stored as "REGISTRY" resources:
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove '{...}' = s 'Name'
//           {
//               val AppID = s '%APPID%'
//               InprocServer32 = s '%MODULE%'
//           }
//       }
//   }
//
// A root key, then keys with an optional mark, an optional default value and
// an optional block of named values ("val") and sub-keys. Names and values
// may be quoted with apostrophes ('' stands for one); all values are strings.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace registrar {

struct NamedValue {
    std::string name;
    std::string data;
};

struct Key {
    enum class Mark { none, noRemove, forceRemove };

    Mark mark = Mark::none;
    std::string name;
    bool hasDefault = false;
    std::string defaultValue;
    std::vector<NamedValue> values;
    std::vector<Key> subkeys;
};

struct RootKey {
    std::string name;  // as the script spells it: "HKCR", "HKEY_LOCAL_MACHINE"
    HKEY handle = nullptr;
    std::vector<Key> keys;
};

using Replacements = std::map<std::string, std::string>;

// Puts each replacement's text in place of %NAME% ("%%" stands for one "%");
// false when the text names one that is not given or leaves a "%" open.
bool replaceVariables(const std::string& text, const Replacements& replacements, std::string& replaced);

// False when the text does not follow the form above.
bool parseScript(const std::string& text, std::vector<RootKey>& roots);
// The root key of a short or long name (any case); null for another name.
HKEY rootKeyNamed(const std::string& name);

} // namespace registrar
