#pragma once
// A removable drive for the spanning tests: a set of disks of chosen
// capacities, each a folder, one of them "in the drive" at a time. Changing
// disks moves the files of the disk in the drive back to its folder and
// brings those of the wanted disk into the drive folder, which is where the
// archive path points; the engine sees nothing but a path, its free space
// and the user's answers.
#include "TestSupport.h"
#include "os/Os.h"

#include <string>
#include <vector>

namespace testing_support {

class SimulatedDrive : public os::Drives {
public:
    SimulatedDrive(const std::string& folder, std::vector<uint32_t> capacities);
    ~SimulatedDrive() override;
    SimulatedDrive(const SimulatedDrive&) = delete;
    SimulatedDrive& operator=(const SimulatedDrive&) = delete;

    // A path on the drive, as the engine is given it.
    std::string path(const std::string& name) const;
    // False when the set has no such disk (0-based).
    bool insert(int disk);
    int inDrive() const { return inDrive_; }
    // The highest disk that holds a file: the last disk of the set written to it.
    int lastWrittenDisk() const;
    int disksWritten() const { return lastWrittenDisk() + 1; }
    std::string contentOf(int disk, const std::string& name) const;
    uint32_t capacity(int disk) const { return capacities_[static_cast<size_t>(disk)]; }

    bool isRemovable(const std::string& path) override;
    uint32_t freeSpace(const std::string& path) override;

private:
    std::string folderOf(int disk) const;
    void moveAll(const std::string& from, const std::string& to) const;

    std::string root_;
    std::string drive_;
    std::vector<uint32_t> capacities_;
    int inDrive_ = 0;
    os::Drives* previous_;
};

// A user at the drive: puts in whatever disk the engine asks for, until the
// prompt numbered refuseFrom (0-based, counted over all prompts), from which
// on every prompt is declined.
class DiskChanger : public ScriptedCallBack {
public:
    explicit DiskChanger(SimulatedDrive& drive) : drive_(drive) { spanning = true; }
    bool askForDisk(int disk) override;

    int refuseFrom = -1;

private:
    SimulatedDrive& drive_;
};

} // namespace testing_support
