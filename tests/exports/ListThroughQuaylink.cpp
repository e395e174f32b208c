// Lists an archive through the engine that Quaylink.dll exports. This
// program has no engine of its own, only the engine's headers: every call
// to CZipFile (and the callback's base class) goes to the DLL.
#include "ZipFile.h"

#include <cinttypes>
#include <cstdio>

namespace {
class SilentCallBack : public ICallBack {
public:
    bool askForDisk(int) override { return false; }
    bool askForSpanning() override { return false; }
    bool askForPassword(CString&) override { return false; }
    CString getPassword() override { return CString(); }
    void setStatusText(CString) override {}
};
} // namespace

// As packrook-cli lists it: sizes, CRC, attributes and stored name.
int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    SilentCallBack callback;
    CZipFile archive(&callback);
    if (!archive.openZipFile(argv[1]))
        return 1;
    for (int i = 0; i < archive.getFileCount(); ++i)
        std::printf("%" PRIu64 "\t%" PRIu64 "\t%08" PRIx32 "\t%s\t%s\n", archive.getUncompressedSize64(i),
                    archive.getCompressedSize64(i), archive.getCRC(i), archive.getAttributes(i).c_str(),
                    archive.getFileHeader(i)->name.c_str());
    return 0;
}
