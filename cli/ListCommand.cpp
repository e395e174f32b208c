#include "Archive.h"
#include "Arguments.h"
#include "Commands.h"
#include "ConsoleCallBack.h"

#include <cinttypes>
#include <cstdio>

int listCommand(const Words& words)
{
    Arguments arguments(words, {}, {});
    arguments.requirePositionals(1, 1);
    ConsoleCallBack callback;
    CZipFile archive(&callback);
    openExisting(archive, arguments.positionals()[0]);
    for (int i = 0; i < archive.getFileCount(); ++i) {
        const CString encryption = archive.getEncryptionName(i);
        std::printf("%" PRIu64 "\t%" PRIu64 "\t%08" PRIx32 "\t%s\t%s\t%s\n", archive.getUncompressedSize64(i),
                    archive.getCompressedSize64(i), archive.getCRC(i), archive.getAttributes(i).c_str(),
                    encryption.empty() ? "-" : encryption.c_str(), entryName(archive, i).c_str());
    }
    return 0;
}
