// The sheet's DIB icon images as PNG, converted on a second thread while the
// unpacker writes the files, so that the page finds most of them done.
//
// The conversion is the sheet's largest share of work and needs nothing but
// the images' bytes; the files' writing is mostly the system's. The images
// are converted in the order the page draws them, a module at a time: into
// a module's images only once the files of the modules before it are
// written, so that the pages read are those the writing holds anyway, and
// letting a module's pages go again once past it. What is converted and not
// yet taken stays under a bound of bytes.
//
// Only the work moves: the page takes the same bytes in the same order, and
// an image not converted ahead (no thread to be had, a conversion that ran
// out of memory) is converted by the page itself.
#pragma once

#include "skin/unpack/unpacked_model.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

namespace app::unpack {

class PngsAhead {
public:
    static constexpr std::size_t kDefaultBound = std::size_t{8} << 20;

    // Starts converting the DIB images `skin`'s page draws from data: URIs.
    explicit PngsAhead(const skin::UnpackedSkin& skin, std::size_t bound = kDefaultBound);
    // Stops the conversion and waits for the thread.
    ~PngsAhead();
    PngsAhead(const PngsAhead&) = delete;
    PngsAhead& operator=(const PngsAhead&) = delete;

    // The files of modules 0..`module` are written: their images may be converted.
    void FilesWritten(std::size_t module);
    // The PNG of `image` as skin::DibIconToPng gives it (empty where it gives
    // none), waiting for it when it is on its way; nullopt for an image not
    // converted ahead, or asked for again. Images are taken in page order:
    // those before `image` not taken yet are let go.
    std::optional<std::vector<std::uint8_t>> Take(const skin::UnpackedIconImage& image);

private:
    struct Slot {
        const skin::UnpackedIconImage* image = nullptr;
        std::size_t module = 0;
        std::vector<std::uint8_t> png;
        bool done = false;
    };

    void Work();
    void LetGo(Slot& slot); // with the lock held

    const skin::UnpackedSkin& skin_;
    std::vector<Slot> slots_;
    std::unordered_map<const skin::UnpackedIconImage*, std::size_t> index_;
    const std::size_t bound_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t next_ = 0;        // the next slot the thread converts
    std::size_t wanted_ = 0;      // slots before it are taken or let go
    std::size_t held_ = 0;        // bytes converted and not taken
    std::size_t openModules_ = 1; // modules whose images may be converted
    bool stop_ = false;
    bool failed_ = false;

    std::thread thread_; // last: started once everything above is set
};

} // namespace app::unpack
