#include "ZipRecordReader.h"

#include "ZipFile.h"

#include <cstring>

const char* CZipRecordReader::next(uint32_t count)
{
    if (end_ - begin_ < count) {
        std::memmove(buffer_, buffer_ + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        if (count > buffer_.size())
            return nullptr;
        end_ += owner_.read(buffer_ + end_, buffer_.size() - end_, false);
        if (end_ < count)
            return nullptr;
    }
    const char* bytes = buffer_ + begin_;
    begin_ += count;
    return bytes;
}
