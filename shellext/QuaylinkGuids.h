/* The four identifiers of Quaylink.dll, generated once and never changed:
   the Explorer, the type library and every installation know them.

   Kept as bare upper-case text so that one header feeds the IDL compiler
   (type library, CLSID/IID/LIBID constants), the build's registrar scripts
   (CMake reads the defines below) and C++ code that needs registry forms.
   Plain C preprocessor only: widl reads this file too. */
#ifndef QUAYLINK_GUIDS_H
#define QUAYLINK_GUIDS_H

#define QUAYLINK_CLSID "EF430FBF-F309-46D9-86D9-1619762F7624"
#define QUAYLINK_IID "B04AD30B-1227-46ED-952C-2974BA8E8F45"
#define QUAYLINK_LIBID "8F99BF90-86D1-4A3B-A267-3DBB6193842C"
#define QUAYLINK_APPID "442C556B-A7A3-4ABA-A076-A6F04916D8C0"

/* The registry spelling: braces around the text. */
#define QUAYLINK_REGISTRY_FORM(id) "{" id "}"

#endif
