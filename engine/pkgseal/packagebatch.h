#pragma once

#include "filesource.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Pkgseal {

class AtomicReplacement;
class PackageFile;
class SealError;

// Packages handled together: opened and locked in the order given, handled on every core, their
// changes made durable with one sync, then put in place and reported in order, each line once its
// package is final. A batch never waits for a lock while it holds one, so two processes whose
// package lists overlap can't wait for each other.
class PackageBatch
{
public:
    struct Outcome
    {
        std::string line;
        std::vector<std::string> errors;
        std::unique_ptr<AtomicReplacement> replacement;
        bool changedInPlace = false;
    };
    using Work = std::function<Outcome(const PackageFile &)>;
    using ErrorReport = std::function<void(const std::string &path, const std::string &message)>;

    // Takes the packages of paths from *next on: the first one (waiting for its lock), then those
    // that are free, up to maxCount packages and MaxBytes; moves *next past them. failureNote is
    // added to the message of each package that can't be handled.
    PackageBatch(const std::vector<std::string> &paths,
                 size_t *next,
                 size_t maxCount,
                 FileSource::Access access,
                 const std::string &failureNote);
    ~PackageBatch();

    // Reads each package and does the work on it, on every core.
    void run(const Work &work);
    // Reports every package in order; false when any failed.
    bool finish(const ErrorReport &reportError);

    // Calls function for 0 ... count - 1 on every core; the threads leave the termination
    // signals to the main thread.
    static void forEachInParallel(size_t count, const std::function<void(size_t)> &function);

private:
    struct Item
    {
        std::string path;
        std::unique_ptr<FileSource> source;
        std::unique_ptr<PackageFile> package;
        Outcome outcome;
    };

    bool add(const std::string &path, FileSource::Access access, bool wait);
    std::string syncChanges() const;

    void addFailure(Item &item, const SealError &error) const;

    std::string m_failureNote;
    std::vector<Item> m_items;
    uint64_t m_bytes = 0;
};

} // namespace Pkgseal
