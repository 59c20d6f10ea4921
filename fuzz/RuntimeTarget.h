#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "RuntimeBuilds.h"
#include "image/ImageReader.h"

// The target runtime over arbitrary bytes, in every build of RuntimeBuilds.h. Whatever the image,
// nothing may be read or written outside it and the caller's buffers: the image and every buffer
// get a heap block of exactly their size, so AddressSanitizer sees a unit past the end. Beyond
// that the answers must keep what Lexicorn.h promises, and a build configured for the image's
// kind must answer exactly as the library does.
namespace fuzz_runtime {

// The most languages and string ids tried per image, from the front, and the last of each: an
// image may hold thousands, and the same code reads each.
constexpr std::uint32_t kLanguagesTried = 4;
constexpr std::uint32_t kIdsTried = 8;

template <typename Unit>
std::unique_ptr<Unit[]> Buffer(std::size_t units) {
    return std::unique_ptr<Unit[]>(new Unit[units]);
}

// Everything one build answered for one image, in order: two builds agree when these are equal.
class Transcript {
  public:
    void Add(std::uint64_t value) { text_ += std::to_string(value) + ' '; }
    template <typename Unit>
    void Add(const Unit* units, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) Add(static_cast<std::uint64_t>(units[i]) & 0xFFFF);
        text_ += '|';
    }
    const std::string& Text() const { return text_; }

  private:
    std::string text_;
};

// One text (a language name or a string) at every capacity that matters: 0, 1, 2, one short of
// it, exact, one more, and more than the image could hold. `mustRead` when the whole-image check
// passed: then every text is there and terminated.
template <typename Unit, typename Copy>
inline void CheckText(const RuntimeBuild& build, const lxn_image& image, Copy copy, std::uint32_t language,
                      std::uint32_t id, bool mustRead, Transcript& out) {
    const bool wide = sizeof(Unit) == 2;
    const bool fits = (image.encoding == 1) == wide;
    const std::size_t large = image.size + 2;
    auto full = Buffer<Unit>(large);
    std::size_t length = 12345;
    const lxn_result first = copy(&image, language, id, full.get(), large, &length);
    out.Add(first);
    if (!fits) {
        FUZZ_CHECK(first == LXN_ERR_CONFIG, build.name);
        return;
    }
    if (mustRead) FUZZ_CHECK(first == LXN_OK, build.name);
    FUZZ_CHECK(first == LXN_OK || first == LXN_ERR_DAMAGED, build.name);
    auto empty = Buffer<Unit>(0);
    FUZZ_CHECK(copy(&image, language, id, empty.get(), 0, &length) == LXN_ERR_ARGUMENT, build.name);
    FUZZ_CHECK(copy(&image, language, id, nullptr, 1, &length) == LXN_ERR_ARGUMENT, build.name);
    if (first != LXN_OK) {
        // Damaged: so it stays at any capacity.
        auto one = Buffer<Unit>(1);
        FUZZ_CHECK(copy(&image, language, id, one.get(), 1, nullptr) == first, build.name);
        return;
    }
    const std::size_t whole = length;
    FUZZ_CHECK(whole < large && full[whole] == 0, build.name);
    FUZZ_CHECK(std::find(full.get(), full.get() + whole, Unit(0)) == full.get() + whole, build.name);
    out.Add(whole);
    out.Add(full.get(), whole);
    const std::set<std::size_t> capacities = {1, 2, std::max<std::size_t>(whole, 1), whole + 1, whole + 2};
    for (std::size_t capacity : capacities) {
        auto text = Buffer<Unit>(capacity);
        std::fill(text.get(), text.get() + capacity, Unit(0x5A));
        length = 12345;
        const lxn_result result = copy(&image, language, id, text.get(), capacity, &length);
        FUZZ_CHECK(result == (capacity > whole ? LXN_OK : LXN_ERR_BUFFER), build.name);
        FUZZ_CHECK(length == whole, build.name);
        const std::size_t kept = std::min(whole, capacity - 1);
        FUZZ_CHECK(text[kept] == 0, build.name);
        FUZZ_CHECK(std::equal(text.get(), text.get() + kept, full.get()), build.name);
        FUZZ_CHECK(copy(&image, language, id, text.get(), capacity, nullptr) == result, build.name);
    }
}

template <typename Unit>
inline void CheckTexts(const RuntimeBuild& build, const lxn_image& image,
                       const std::vector<std::uint32_t>& languages, const std::vector<std::uint32_t>& ids,
                       bool mustRead, Transcript& out) {
    const auto nameOf = [&] {
        if constexpr (sizeof(Unit) == 2)
            return build.languageName16;
        else
            return build.languageName;
    }();
    const auto string = [&] {
        if constexpr (sizeof(Unit) == 2)
            return build.getString16;
        else
            return build.getString;
    }();
    // A language name through the same checks as a string: the id is ignored.
    const auto name = [nameOf](const lxn_image* named, std::uint32_t language, std::uint32_t, Unit* text,
                               std::size_t capacity, std::size_t* length) {
        return nameOf(named, language, text, capacity, length);
    };
    for (std::uint32_t language : languages) {
        CheckText<Unit>(build, image, name, language, 0, mustRead, out);
        for (std::uint32_t id : ids) CheckText<Unit>(build, image, string, language, id, mustRead, out);
    }
    // Beyond the counts, and without an image.
    auto text = Buffer<Unit>(4);
    std::size_t length = 0;
    for (std::uint32_t language : {image.language_count, 0xFFFFFFFFu}) {
        FUZZ_CHECK(nameOf(&image, language, text.get(), 4, &length) == LXN_ERR_RANGE, build.name);
        FUZZ_CHECK(string(&image, language, 0, text.get(), 4, &length) == LXN_ERR_RANGE, build.name);
    }
    for (std::uint32_t id : {image.string_count, 0xFFFFFFFFu})
        FUZZ_CHECK(string(&image, 0, id, text.get(), 4, &length) == LXN_ERR_RANGE, build.name);
    FUZZ_CHECK(nameOf(nullptr, 0, text.get(), 4, &length) == LXN_ERR_ARGUMENT, build.name);
    FUZZ_CHECK(string(nullptr, 0, 0, text.get(), 4, &length) == LXN_ERR_ARGUMENT, build.name);
}

// The zero-copy lookup points into the image at the units that the copy delivers, or refuses as
// the copy does.
inline void CheckStringRefs(const RuntimeBuild& build, const lxn_image& image,
                            const std::vector<std::uint32_t>& languages,
                            const std::vector<std::uint32_t>& ids, Transcript& out) {
    const bool wide = image.encoding == 1;
    const std::size_t unitSize = wide ? 2 : 1, large = image.size + 2;
    for (std::uint32_t language : languages)
        for (std::uint32_t id : ids) {
            const void* text = nullptr;
            std::size_t length = 12345, copiedLength = 0;
            const lxn_result result = build.getStringRef(&image, language, id, &text, &length);
            std::vector<std::uint32_t> copied;
            lxn_result copyResult;
            if (wide) {
                auto buffer = Buffer<std::uint16_t>(large);
                copyResult = build.getString16(&image, language, id, buffer.get(), large, &copiedLength);
                if (copyResult == LXN_OK) copied.assign(buffer.get(), buffer.get() + copiedLength);
            } else {
                auto buffer = Buffer<unsigned char>(large);
                copyResult = build.getString(&image, language, id, reinterpret_cast<char*>(buffer.get()),
                                             large, &copiedLength);
                if (copyResult == LXN_OK) copied.assign(buffer.get(), buffer.get() + copiedLength);
            }
            out.Add(result);
            FUZZ_CHECK(result == copyResult, build.name);
            const void* withoutLength = nullptr;
            FUZZ_CHECK(build.getStringRef(&image, language, id, &withoutLength, nullptr) == result,
                       build.name);
            FUZZ_CHECK(build.getStringRef(&image, language, id, nullptr, &length) == LXN_ERR_ARGUMENT,
                       build.name);
            if (result != LXN_OK) continue;
            const auto* bytes = static_cast<const std::uint8_t*>(text);
            FUZZ_CHECK(withoutLength == text && length == copiedLength, build.name);
            FUZZ_CHECK(bytes >= image.data && bytes + (length + 1) * unitSize <= image.data + image.size,
                       build.name);
            for (std::size_t i = 0; i <= length; ++i) {
                const std::uint8_t* at = bytes + i * unitSize;
                const std::uint32_t unit = !wide              ? at[0]
                                           : image.big_endian ? at[0] << 8 | at[1]
                                                              : at[1] << 8 | at[0];
                FUZZ_CHECK(unit == (i < length ? copied[i] : 0), build.name);
            }
        }
    const void* text = nullptr;
    FUZZ_CHECK(build.getStringRef(&image, image.language_count, 0, &text, nullptr) == LXN_ERR_RANGE,
               build.name);
    FUZZ_CHECK(build.getStringRef(&image, 0, image.string_count, &text, nullptr) == LXN_ERR_RANGE,
               build.name);
    FUZZ_CHECK(build.getStringRef(nullptr, 0, 0, &text, nullptr) == LXN_ERR_ARGUMENT, build.name);
}

// A code in a heap block of exactly its characters and terminator.
inline std::unique_ptr<char[]> Code(const std::string& code) {
    auto block = Buffer<char>(code.size() + 1);
    std::copy(code.c_str(), code.c_str() + code.size() + 1, block.get());
    return block;
}

// The index of the first language whose code is `code`, as Lexicorn.h reads a code: the second
// character only when there is a first.
inline std::optional<std::uint32_t> ExpectedLanguage(const std::vector<std::string>& imageCodes,
                                                     const std::string& code) {
    const char first = code.empty() ? '\0' : code[0];
    const char second = first != '\0' && code.size() > 1 ? code[1] : '\0';
    for (std::uint32_t l = 0; l < imageCodes.size(); ++l)
        if (imageCodes[l][0] == first && imageCodes[l][1] == second) return l;
    return std::nullopt;
}

inline void CheckLanguages(const RuntimeBuild& build, const lxn_image& image,
                           const std::vector<std::uint32_t>& languages, Transcript& out) {
    std::vector<std::string> imageCodes;
    for (std::uint32_t l = 0; l < image.language_count; ++l) {
        char code[3];
        FUZZ_CHECK(build.languageCode(&image, l, code) == LXN_OK, build.name);
        imageCodes.emplace_back(code, 2);
    }
    std::vector<std::string> codes = {"", "x", "\x7F\x7F", "??", "zz"};
    for (std::uint32_t l : languages) {
        auto code = Buffer<char>(3);
        std::fill(code.get(), code.get() + 3, 'Q');
        FUZZ_CHECK(build.languageCode(&image, l, code.get()) == LXN_OK, build.name);
        FUZZ_CHECK(code[2] == '\0', build.name);
        out.Add(code.get(), 2);
        codes.push_back(std::string(code.get(), 2));  // as the image has it, NUL and all
        codes.push_back(code.get());                  // up to its terminator
        if (code[0] != '\0') codes.push_back(std::string(1, code[0]));
        codes.push_back(std::string(code.get(), 2) + "extra");  // nothing past two is compared
    }
    auto code = Buffer<char>(3);
    FUZZ_CHECK(build.languageCode(&image, image.language_count, code.get()) == LXN_ERR_RANGE, build.name);
    FUZZ_CHECK(build.languageCode(nullptr, 0, code.get()) == LXN_ERR_ARGUMENT, build.name);
    FUZZ_CHECK(build.languageCode(&image, 0, nullptr) == LXN_ERR_ARGUMENT, build.name);
    for (const std::string& text : codes) {
        // What strlen sees: a code with a NUL inside ends there, as a C caller's would.
        const std::string asC = text.substr(0, text.find('\0'));
        const auto block = Code(asC);
        std::uint32_t index = 0xDEADBEEF;
        const lxn_result result = build.findLanguage(&image, block.get(), &index);
        const std::optional<std::uint32_t> expected = ExpectedLanguage(imageCodes, asC);
        FUZZ_CHECK(result == (expected ? LXN_OK : LXN_ERR_NOT_FOUND), build.name);
        if (expected) FUZZ_CHECK(index == *expected, build.name);
        out.Add(result);
        out.Add(index);
    }
    std::uint32_t index = 0;
    FUZZ_CHECK(build.findLanguage(nullptr, "en", &index) == LXN_ERR_ARGUMENT, build.name);
    FUZZ_CHECK(build.findLanguage(&image, nullptr, &index) == LXN_ERR_ARGUMENT, build.name);
    FUZZ_CHECK(build.findLanguage(&image, "en", nullptr) == LXN_ERR_ARGUMENT, build.name);
}

inline std::vector<std::uint32_t> Tried(std::uint32_t count, std::uint32_t most) {
    std::vector<std::uint32_t> tried;
    for (std::uint32_t i = 0; i < count && i < most; ++i) tried.push_back(i);
    if (count > most) tried.push_back(count - 1);
    return tried;
}

// Every lookup of an attached image; what they answered.
inline std::string Lookups(const RuntimeBuild& build, const lxn_image& image, bool mustRead) {
    Transcript out;
    for (std::uint32_t value :
         {image.size, image.unique_id, image.language_count, image.string_count, image.encoding,
          image.table_type, static_cast<std::uint32_t>(image.big_endian)})
        out.Add(value);
    const std::vector<std::uint32_t> languages = Tried(image.language_count, kLanguagesTried);
    const std::vector<std::uint32_t> ids = Tried(image.string_count, kIdsTried);
    CheckLanguages(build, image, languages, out);
    CheckTexts<char>(build, image, languages, ids, mustRead, out);
    CheckTexts<std::uint16_t>(build, image, languages, ids, mustRead, out);
    CheckStringRefs(build, image, languages, ids, out);
    return out.Text();
}

// What a build configured for one kind of image answers where the library attached one.
inline lxn_result Configured(const RuntimeBuild& build, const lxn_image& image) {
    if (build.tableType && *build.tableType != image.table_type) return LXN_ERR_CONFIG;
    if (build.encoding && (*build.encoding == LXN_ENCODING_UNICODE) != (image.encoding == 1))
        return LXN_ERR_CONFIG;
    return LXN_OK;
}

// The search finds the first image at a multiple of the build's step, or none.
inline void CheckFind(const RuntimeBuild& build, const std::uint8_t* bytes, std::size_t size) {
    lxn_image found{};
    const lxn_result result = build.find(&found, bytes, size);
    FUZZ_CHECK(result == LXN_OK || result == LXN_ERR_NOT_FOUND, build.name);
    std::size_t first = size;
    for (std::size_t at = 0; size >= 8 && at <= size - 8; at += build.searchStep) {
        lxn_image image{};
        if (build.attach(&image, bytes + at, size - at) == LXN_OK) {
            first = at;
            break;
        }
    }
    FUZZ_CHECK((result == LXN_OK) == (first < size), build.name);
    if (result == LXN_OK) {
        FUZZ_CHECK(found.data == bytes + first, build.name);
        FUZZ_CHECK(found.size <= size - first, build.name);
    }
    FUZZ_CHECK(build.find(nullptr, bytes, size) == LXN_ERR_ARGUMENT, build.name);
    // A null start is address 0, where flash begins on many devices: here there is nothing to read there.
    FUZZ_CHECK(build.find(&found, nullptr, 0) == LXN_ERR_NOT_FOUND, build.name);
}

// The image as a file, read into buffers of its size, one byte more and one byte less.
inline void CheckLoadFile(const RuntimeBuild& build, const std::string& path, std::size_t size,
                          lxn_result attached) {
    for (std::size_t capacity : {size, size + 1, size == 0 ? std::size_t{0} : size - 1}) {
        auto buffer = Buffer<unsigned char>(capacity);
        lxn_image image{};
        const lxn_result result = build.loadFile(&image, path.c_str(), buffer.get(), capacity);
        FUZZ_CHECK(result == (capacity < size ? LXN_ERR_BUFFER : attached), build.name);
        if (result == LXN_OK) FUZZ_CHECK(image.data == buffer.get() && image.size <= size, build.name);
    }
    lxn_image image{};
    FUZZ_CHECK(build.loadFile(&image, (path + ".missing").c_str(), nullptr, 0) == LXN_ERR_ARGUMENT,
               build.name);
    auto buffer = Buffer<unsigned char>(1);
    FUZZ_CHECK(build.loadFile(&image, (path + ".missing").c_str(), buffer.get(), 1) == LXN_ERR_FILE,
               build.name);
}

}  // namespace fuzz_runtime

inline int FuzzRuntime(const std::uint8_t* data, std::size_t size) {
    using namespace fuzz_runtime;
    auto block = Buffer<std::uint8_t>(size);
    std::copy(data, data + size, block.get());
    const std::uint8_t* bytes = block.get();

    const RuntimeBuild& library = kRuntimeBuilds[0];
    lxn_image reference{};
    const lxn_result referenceResult = library.attach(&reference, bytes, size);
    // Where the whole-image check that dump and the merger use passes, the runtime reads every
    // text; it may read more, as it checks each text only when it is asked for.
    bool whole = false;
    if (referenceResult == LXN_OK) {
        try {
            lexicorn::ReadImage(std::span(bytes, reference.size));
            whole = true;
        } catch (const lexicorn::ImageError&) {
        }
    }
    std::string expected;
    for (const RuntimeBuild& build : kRuntimeBuilds) {
        lxn_image image{};
        const lxn_result result = build.attach(&image, bytes, size);
        FUZZ_CHECK(result == (referenceResult == LXN_OK ? Configured(build, reference) : referenceResult),
                   build.name);
        if (result == LXN_OK) {
            FUZZ_CHECK(image.data == bytes && image.size >= 44 && image.size <= size, build.name);
            const std::string answers = Lookups(build, image, whole);
            if (&build == &library)
                expected = answers;
            else
                FUZZ_CHECK(answers == expected, build.name);
        }
        CheckFind(build, bytes, size);
        FUZZ_CHECK(build.attach(nullptr, bytes, size) == LXN_ERR_ARGUMENT, build.name);
        FUZZ_CHECK(build.attach(&image, nullptr, size) == LXN_ERR_ARGUMENT, build.name);
    }

    // One file for the process, gone when it ends.
    static const struct File {
        std::string path = "/tmp/lexicorn-fuzz-runtime-" + std::to_string(getpid()) + ".bin";
        ~File() { std::remove(path.c_str()); }
    } scratch;
    const std::string& path = scratch.path;
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    for (const RuntimeBuild& build : kRuntimeBuilds)
        if (build.loadFile != nullptr) {
            lxn_image image{};
            CheckLoadFile(build, path, size, build.attach(&image, bytes, size));
        }
    return 0;
}
