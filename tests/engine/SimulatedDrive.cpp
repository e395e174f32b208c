#include "SimulatedDrive.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace testing_support {

SimulatedDrive::SimulatedDrive(const std::string& folder, std::vector<uint32_t> capacities)
    : root_(folder), drive_(join(folder, "drive")), capacities_(std::move(capacities)),
      previous_(os::setDrives(this))
{
    fs::create_directories(drive_);
    for (int disk = 0; disk < static_cast<int>(capacities_.size()); ++disk)
        fs::create_directories(folderOf(disk));
}

SimulatedDrive::~SimulatedDrive()
{
    os::setDrives(previous_);
}

std::string SimulatedDrive::path(const std::string& name) const
{
    return join(drive_, name);
}

std::string SimulatedDrive::folderOf(int disk) const
{
    return join(root_, "disk" + std::to_string(disk + 1));
}

void SimulatedDrive::moveAll(const std::string& from, const std::string& to) const
{
    for (const auto& file : fs::directory_iterator(from))
        fs::rename(file.path(), fs::path(to) / file.path().filename());
}

bool SimulatedDrive::insert(int disk)
{
    if (disk < 0 || disk >= static_cast<int>(capacities_.size()))
        return false;
    moveAll(drive_, folderOf(inDrive_));
    moveAll(folderOf(disk), drive_);
    inDrive_ = disk;
    return true;
}

int SimulatedDrive::lastWrittenDisk() const
{
    int last = -1;
    for (int disk = 0; disk < static_cast<int>(capacities_.size()); ++disk) {
        const std::string folder = disk == inDrive_ ? drive_ : folderOf(disk);
        if (!fs::is_empty(folder))
            last = disk;
    }
    return last;
}

std::string SimulatedDrive::contentOf(int disk, const std::string& name) const
{
    return readBytes(join(disk == inDrive_ ? drive_ : folderOf(disk), name));
}

bool SimulatedDrive::isRemovable(const std::string& path)
{
    return path.compare(0, drive_.size(), drive_) == 0;
}

// Like a real drive, a disk that was overfilled would report no space at all.
uint32_t SimulatedDrive::freeSpace(const std::string&)
{
    uintmax_t used = 0;
    for (const auto& file : fs::directory_iterator(drive_))
        used += fs::file_size(file.path());
    const uint32_t capacity = capacities_[static_cast<size_t>(inDrive_)];
    return used >= capacity ? 0 : capacity - static_cast<uint32_t>(used);
}

bool DiskChanger::askForDisk(int disk)
{
    disksAsked.push_back(disk);
    if (refuseFrom >= 0 && static_cast<int>(disksAsked.size()) > refuseFrom)
        return false;
    return drive_.insert(disk == -1 ? drive_.lastWrittenDisk() : disk - 1);
}

} // namespace testing_support
