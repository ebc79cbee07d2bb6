#include "packagebatch.h"

#include "atomicreplacement.h"
#include "packagefile.h"
#include "sealerror.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <map>
#include <thread>
#include <unistd.h>

namespace Pkgseal {

namespace {
const uint64_t MaxBytes = 256 * 1024 * 1024;
}

PackageBatch::PackageBatch(const std::vector<std::string> &paths,
                           size_t *next,
                           size_t maxCount,
                           FileSource::Access access,
                           const std::string &failureNote)
    : m_failureNote(failureNote)
{
    add(paths[(*next)++], access, true);
    while (*next < paths.size() && m_items.size() < maxCount && m_bytes < MaxBytes
           && add(paths[*next], access, false)) {
        ++*next;
    }
}

PackageBatch::~PackageBatch() = default;

// False when the package is locked by another; a package that can't be opened is taken with its
// error. Only opening and locking are done here, in order; the packages are read by run().
bool PackageBatch::add(const std::string &path, FileSource::Access access, bool wait)
{
    Item item{path, nullptr, nullptr, {}};
    try {
        item.source = wait ? std::make_unique<FileSource>(path, access)
                           : FileSource::openIfFree(path, access);
        if (!item.source)
            return false;
        m_bytes += item.source->size();
    } catch (const SealError &error) {
        addFailure(item, error);
    }
    m_items.push_back(std::move(item));
    return true;
}

void PackageBatch::addFailure(Item &item, const SealError &error) const
{
    item.outcome.errors.push_back(error.what() + m_failureNote);
}

void PackageBatch::run(const Work &work)
{
    forEachInParallel(m_items.size(), [&](size_t i) {
        Item &item = m_items[i];
        if (!item.source)
            return;
        try {
            item.package = std::make_unique<PackageFile>(item.path, std::move(item.source));
            item.outcome = work(*item.package);
        } catch (const SealError &error) {
            item.outcome = {};
            addFailure(item, error);
        }
    });
}

void PackageBatch::forEachInParallel(size_t count, const std::function<void(size_t)> &function)
{
    std::atomic<size_t> next{0};
    const auto worker = [&] {
        AtomicReplacement::blockSignalsOfThisThread();
        for (size_t i = next++; i < count; i = next++)
            function(i);
    };
    const size_t threadCount = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()),
                                                count);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < threadCount; ++i)
        threads.emplace_back(worker);
    for (std::thread &thread : threads)
        thread.join();
}

// One sync per file system makes the data of all the batch's changes durable together.
std::string PackageBatch::syncChanges() const
{
    std::map<uint64_t, int> fileSystems;
    for (const Item &item : m_items) {
        if (item.package && (item.outcome.replacement || item.outcome.changedInPlace))
            fileSystems.emplace(item.package->source().device(),
                                item.package->source().descriptor());
    }
    for (const auto &fileSystem : fileSystems) {
        if (::syncfs(fileSystem.second) != 0)
            return std::string("cannot make the change durable: ") + std::strerror(errno);
    }
    return {};
}

bool PackageBatch::finish(const ErrorReport &reportError)
{
    const std::string syncError = syncChanges();
    for (Item &item : m_items) {
        Outcome &outcome = item.outcome;
        if (!syncError.empty() && (outcome.replacement || outcome.changedInPlace))
            outcome.errors.push_back(syncError);
        else if (outcome.replacement) {
            try {
                outcome.replacement->commit();
            } catch (const SealError &error) {
                addFailure(item, error);
            }
        }
    }
    AtomicReplacement::syncRenames();
    bool allDone = true;
    for (Item &item : m_items) {
        for (const std::string &error : item.outcome.errors)
            reportError(item.path, error);
        if (item.outcome.errors.empty() && !item.outcome.line.empty())
            std::cout << item.outcome.line << std::endl;
        allDone = allDone && item.outcome.errors.empty();
    }
    m_items.clear(); // releases the locks
    return allDone;
}

} // namespace Pkgseal
