// Reads archives through the libarchive this build links, as a check of the
// build itself: every filter and format asked for must be the library's own
// (it would otherwise fall back on an outside program, or on nothing), and
// every file in each archive must match the file of that name under tree/.
//
//   archive_check FILES ARCHIVE...    FILES: the number of files each holds
#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {
const struct {
    const char* name;
    int (*enable)(archive*);
} kReaders[] = {
    {"gzip", archive_read_support_filter_gzip}, {"bzip2", archive_read_support_filter_bzip2},
    {"xz", archive_read_support_filter_xz},     {"zstd", archive_read_support_filter_zstd},
    {"lz4", archive_read_support_filter_lz4},   {"tar", archive_read_support_format_tar},
    {"7zip", archive_read_support_format_7zip}, {"xar", archive_read_support_format_xar},
};

std::string fileContents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Block by block: at the end of an entry the xar reader of libarchive 3.6
// gives an offset past it (its total over the whole archive), which
// archive_read_data() would make up with zeros.
bool readData(archive* a, std::string& data)
{
    const void* block;
    size_t size;
    la_int64_t offset;
    int status;
    while ((status = archive_read_data_block(a, &block, &size, &offset)) == ARCHIVE_OK) {
        if (offset != static_cast<la_int64_t>(data.size()))
            return false;
        data.append(static_cast<const char*>(block), size);
    }
    return status == ARCHIVE_EOF;
}

bool check(const char* path, int expectedFiles)
{
    archive* a = archive_read_new();
    bool ok = true;
    for (const auto& reader : kReaders) {
        if (reader.enable(a) != ARCHIVE_OK) {
            std::fprintf(stderr, "%s is not built in: %s\n", reader.name, archive_error_string(a));
            ok = false;
        }
    }
    if (archive_read_open_filename(a, path, 65536) != ARCHIVE_OK) {
        std::fprintf(stderr, "%s: %s\n", path, archive_error_string(a));
        archive_read_free(a);
        return false;
    }
    int files = 0;
    int status;
    archive_entry* entry;
    while ((status = archive_read_next_header(a, &entry)) == ARCHIVE_OK) {
        if (archive_entry_filetype(entry) != AE_IFREG)
            continue;
        std::string name = archive_entry_pathname(entry);
        if (name.rfind("./", 0) == 0)
            name.erase(0, 2);
        std::string data;
        ++files;
        if (!readData(a, data) || data != fileContents("tree/" + name)) {
            std::fprintf(stderr, "%s: %s does not read back whole\n", path, name.c_str());
            ok = false;
        }
    }
    if (status != ARCHIVE_EOF || files != expectedFiles) {
        std::fprintf(stderr, "%s: %d files read, %s\n", path, files, archive_error_string(a));
        ok = false;
    }
    std::printf("%s: %d files (%s, %s)\n", path, files, archive_filter_name(a, 0), archive_format_name(a));
    archive_read_free(a);
    return ok;
}
}

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: archive_check FILES ARCHIVE...\n");
        return 2;
    }
    std::printf("%s\n", archive_version_details());
    bool ok = true;
    for (int i = 2; i < argc; ++i)
        ok = check(argv[i], std::atoi(argv[1])) && ok;
    return ok ? 0 : 1;
}
