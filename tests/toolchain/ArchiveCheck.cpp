// Lists archives through the libarchive this build links. Every filter and
// format asked for must be the library's own (it would otherwise fall back
// on an outside program, or on nothing), and every archive must list to its
// end with FILES files.
//
//   archive_check FILES ARCHIVE...
#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    int (*const readers[])(archive*) = {
        archive_read_support_filter_gzip, archive_read_support_filter_bzip2,
        archive_read_support_filter_xz,   archive_read_support_filter_zstd,
        archive_read_support_filter_lz4,  archive_read_support_format_tar,
        archive_read_support_format_7zip, archive_read_support_format_xar,
    };
    std::printf("%s\n", archive_version_details());
    bool ok = argc > 2;
    for (int i = 2; i < argc; ++i) {
        archive* a = archive_read_new();
        for (auto enable : readers) {
            if (enable(a) != ARCHIVE_OK) {
                std::fprintf(stderr, "not built in: %s\n", archive_error_string(a));
                ok = false;
            }
        }
        int files = 0;
        int status = archive_read_open_filename(a, argv[i], 65536);
        archive_entry* entry;
        while (status == ARCHIVE_OK && (status = archive_read_next_header(a, &entry)) == ARCHIVE_OK)
            files += archive_entry_filetype(entry) == AE_IFREG;
        std::printf("%s: %d files (%s, %s)\n", argv[i], files, archive_filter_name(a, 0), archive_format_name(a));
        if (status != ARCHIVE_EOF || files != std::atoi(argv[1])) {
            std::fprintf(stderr, "%s: %s\n", argv[i], archive_error_string(a));
            ok = false;
        }
        archive_read_free(a);
    }
    return ok ? 0 : 1;
}
