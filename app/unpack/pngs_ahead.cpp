#include "app/unpack/pngs_ahead.h"

#include "app/unpack/sheet_markup.h"
#include "skin/unpack/icon_image_png.h"
#include "skin/unpack/unpack_folder.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace app::unpack {

PngsAhead::PngsAhead(const skin::UnpackedSkin& skin, std::size_t bound)
    : skin_(skin), bound_(bound) {
    // The images the page converts, in its order: DIBs, but the one a
    // browser draws from the group's icon file.
    for (std::size_t m = 0; m < skin.modules.size(); ++m) {
        for (const skin::UnpackedIconGroup& group : skin.modules[m].icons) {
            const std::size_t fromFile = ImageDrawnFromIconFile(group);
            for (std::size_t i = 0; i < group.images.size(); ++i) {
                if (i == fromFile || group.images[i].png)
                    continue;
                index_.emplace(&group.images[i], slots_.size());
                slots_.push_back({&group.images[i], m, {}, false});
            }
        }
    }
    if (slots_.empty())
        return;
    try {
        thread_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        index_.clear(); // no second thread: the page converts every image itself
    }
}

PngsAhead::~PngsAhead() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void PngsAhead::FilesWritten(std::size_t module) {
    {
        const std::lock_guard lock(mutex_);
        openModules_ = std::max(openModules_, module + 2);
    }
    changed_.notify_all();
}

void PngsAhead::LetGo(Slot& slot) {
    held_ -= slot.png.size();
    std::vector<std::uint8_t>().swap(slot.png);
}

void PngsAhead::Work() {
    // The module whose pages this thread reads; let go when it moves on (the
    // files of a module are written before its images are converted).
    std::size_t module = slots_.front().module;
    struct LetModuleGo {
        const skin::UnpackedSkin& skin;
        const std::size_t& module;
        ~LetModuleGo() { skin::ReleaseModuleBytes(skin.modules[module]); }
    } letGo{skin_, module};
    for (;;) {
        std::size_t k = 0;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] {
                if (stop_ || next_ >= slots_.size())
                    return true;
                const std::size_t n = std::max(next_, wanted_);
                // The slot the page waits for is converted whatever is held.
                return n >= slots_.size() || n == wanted_ ||
                       (held_ <= bound_ && slots_[n].module < openModules_);
            });
            next_ = std::max(next_, wanted_);
            if (stop_ || next_ >= slots_.size())
                return;
            k = next_;
        }
        if (slots_[k].module != module) {
            skin::ReleaseModuleBytes(skin_.modules[module]);
            module = slots_[k].module;
        }
        std::vector<std::uint8_t> png;
        bool converted = true;
        try {
            png = skin::DibIconToPng(slots_[k].image->bytes);
            png.shrink_to_fit(); // held as counted
        } catch (...) {
            converted = false; // out of memory: the page tries itself
        }
        {
            const std::lock_guard lock(mutex_);
            if (!converted) {
                failed_ = true;
            } else if (k >= wanted_) {
                held_ += png.size();
                slots_[k].png = std::move(png);
                slots_[k].done = true;
            }
            next_ = k + 1;
        }
        changed_.notify_all();
        if (!converted)
            return;
    }
}

std::optional<std::vector<std::uint8_t>> PngsAhead::Take(const skin::UnpackedIconImage& image) {
    const auto found = index_.find(&image);
    if (found == index_.end())
        return std::nullopt;
    const std::size_t k = found->second;
    std::unique_lock lock(mutex_);
    if (k < wanted_)
        return std::nullopt;
    for (std::size_t j = wanted_; j < k; ++j)
        LetGo(slots_[j]);
    wanted_ = k;
    changed_.notify_all();
    changed_.wait(lock, [this, k] { return slots_[k].done || failed_ || next_ > k; });
    wanted_ = k + 1;
    std::optional<std::vector<std::uint8_t>> png;
    if (slots_[k].done) {
        held_ -= slots_[k].png.size();
        png = std::move(slots_[k].png);
        slots_[k].png = {};
    }
    changed_.notify_all();
    return png;
}

} // namespace app::unpack
