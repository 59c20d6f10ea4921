#include "table/ZipXml.h"

#include <expat.h>
#include <fmt/format.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include "platform/InputFile.h"
#include "table/TableReader.h"

namespace lexicorn {
namespace {

constexpr std::size_t kXmlPieceBytes = 1 << 16;

// Names as written, "prefix:local"; only the local name counts. Namespace processing is left off:
// it costs a third of the parse, and the parts read here never give one local name two meanings.
std::string_view LocalName(const char* name) {
    std::string_view full(name);
    const std::size_t colon = full.rfind(':');
    return colon == std::string_view::npos ? full : full.substr(colon + 1);
}

struct ParseState {
    XmlHandler& handler;
    std::exception_ptr failure;  // exceptions must not cross expat's C frames
    XML_Parser parser;
    bool progressed = false;  // a handler was called since the last piece was fed
    bool placed = false;      // the handler learns where each event is
};

void Place(ParseState& state) {
    state.progressed = true;
    if (!state.placed) return;
    state.handler.place = {static_cast<std::size_t>(XML_GetCurrentLineNumber(state.parser)),
                           static_cast<std::size_t>(XML_GetCurrentByteIndex(state.parser)),
                           static_cast<std::size_t>(XML_GetCurrentByteCount(state.parser))};
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* state = static_cast<ParseState*>(data);
    Place(*state);
    try {
        state->handler.Start(LocalName(name), attributes);
    } catch (...) {
        state->failure = std::current_exception();
        XML_StopParser(state->parser, XML_FALSE);
    }
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
    auto* state = static_cast<ParseState*>(data);
    Place(*state);
    try {
        state->handler.End(LocalName(name));
    } catch (...) {
        state->failure = std::current_exception();
        XML_StopParser(state->parser, XML_FALSE);
    }
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    auto* state = static_cast<ParseState*>(data);
    Place(*state);
    try {
        state->handler.Text(std::string_view(text, static_cast<std::size_t>(length)));
    } catch (...) {
        state->failure = std::current_exception();
        XML_StopParser(state->parser, XML_FALSE);
    }
}

}  // namespace

void ParseXmlDocument(std::string_view document, const std::string& fileName, XmlHandler& handler) {
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
    if (!parser) throw TableError(fileName + ": out of memory for the XML parser");
    ParseState state{handler, nullptr, parser.get(), false, true};
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    // A document too large for one call is fed in pieces that expat's int counts.
    constexpr std::size_t kMostPiece = 1u << 30;
    for (std::size_t at = 0;; at += kMostPiece) {
        const std::string_view piece = document.substr(std::min(at, document.size()), kMostPiece);
        const bool last = at + kMostPiece >= document.size();
        const XML_Status status = XML_Parse(parser.get(), piece.data(), static_cast<int>(piece.size()),
                                            last ? XML_TRUE : XML_FALSE);
        if (state.failure) std::rethrow_exception(state.failure);
        if (status != XML_STATUS_OK)
            throw TableError(fmt::format("{}:{}: malformed XML: {}", fileName,
                                         XML_GetCurrentLineNumber(parser.get()),
                                         XML_ErrorString(XML_GetErrorCode(parser.get()))));
        if (last) break;
    }
}

const char* Attribute(const char** attributes, std::string_view name) {
    // Called for every cell of a sheet: compared in place, without measuring each name first.
    for (; attributes && attributes[0]; attributes += 2) {
        const char* candidate = attributes[0];
        const char* colon = std::strchr(candidate, ':');
        const char* local = colon ? colon + 1 : candidate;
        if (std::strncmp(local, name.data(), name.size()) == 0 && local[name.size()] == '\0')
            return attributes[1];
    }
    return nullptr;
}

// The file is opened by the platform layer, which takes any name the system does; libzip would read
// a name in UTF-8 on Windows, where it comes in the program's narrow encoding.
ZipArchive::ZipArchive(const std::string& fileName) : fileName_(fileName) {
    const auto refuse = [&](const std::string& why) {
        return TableError(fmt::format("{}: not a readable workbook ({})", fileName, why));
    };
    std::FILE* file = OpenRegularFile(fileName);
    if (!file) throw refuse(std::strerror(errno));
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_filep_create(file, 0, -1, &error);
    if (source) {
        archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
        if (!archive_) zip_source_free(source);  // closes the file
    } else {
        std::fclose(file);
    }
    if (!archive_) {
        const std::string why = zip_error_strerror(&error);
        zip_error_fini(&error);
        throw refuse(why);
    }
    zip_error_fini(&error);
}

ZipArchive::~ZipArchive() { zip_discard(archive_); }

bool ZipArchive::Has(const std::string& part) const {
    return zip_name_locate(archive_, part.c_str(), 0) >= 0;
}

std::size_t ZipArchive::StatedSize(const std::string& part) const {
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(archive_, part.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) return 0;
    return static_cast<std::size_t>(std::min<zip_uint64_t>(stat.size, kMostPartBytes));
}

template <typename Consume>
void ZipArchive::ReadPieces(const std::string& part, Consume&& consume) const {
    const zip_int64_t index = zip_name_locate(archive_, part.c_str(), 0);
    if (index < 0) throw TableError(fmt::format("{}: the workbook has no part {}", fileName_, part));
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(
        zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0), zip_fclose);
    if (!file) throw TableError(fmt::format("{}: {}: {}", fileName_, part, zip_strerror(archive_)));
    char buffer[1 << 16];
    std::size_t total = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(file.get(), buffer, sizeof buffer);
        if (got < 0)
            throw TableError(fmt::format("{}: {}: {}", fileName_, part, zip_file_strerror(file.get())));
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
        if (total > kMostPartBytes)
            throw TableError(fmt::format("{}: {}: the part unpacks to more than {} MB; refused", fileName_,
                                         part, kMostPartBytes >> 20));
        consume(std::string_view(buffer, static_cast<std::size_t>(got)), false);
    }
    consume(std::string_view(), true);
}

std::string ZipArchive::Read(const std::string& part) const {
    std::string bytes;
    ReadPieces(part, [&](std::string_view piece, bool) { bytes += piece; });
    return bytes;
}

void ZipArchive::Parse(const std::string& part, XmlHandler& handler) const {
    std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr), XML_ParserFree);
    if (!parser) throw TableError(fileName_ + ": out of memory for the XML parser");
    ParseState state{handler, nullptr, parser.get()};
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    // Expat scans an unfinished token again from its start whenever more input arrives, so a huge
    // tag fed in even pieces costs time quadratic in its size. While a piece brings no handler call
    // the next one is made twice as big: each token is then scanned a bounded number of times over.
    std::string pending;
    std::size_t wanted = kXmlPieceBytes;
    ReadPieces(part, [&](std::string_view piece, bool last) {
        pending += piece;
        if (!last && pending.size() < wanted) return;
        state.progressed = false;
        const XML_Status status = XML_Parse(parser.get(), pending.data(), static_cast<int>(pending.size()),
                                            last ? XML_TRUE : XML_FALSE);
        if (state.failure) std::rethrow_exception(state.failure);
        if (status != XML_STATUS_OK)
            throw TableError(fmt::format("{}: {}: malformed XML at line {}: {}", fileName_, part,
                                         XML_GetCurrentLineNumber(parser.get()),
                                         XML_ErrorString(XML_GetErrorCode(parser.get()))));
        wanted = state.progressed ? kXmlPieceBytes : 2 * pending.size();
        pending.clear();
    });
}

void AppendXmlEscaped(std::string& out, std::string_view text, bool attribute) {
    for (char c : text) switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += attribute ? "&quot;" : "\"";
                break;
            case '\r':
                out += "&#13;";
                break;
            case '\n':
                out += attribute ? "&#10;" : "\n";
                break;
            case '\t':
                out += attribute ? "&#9;" : "\t";
                break;
            default:
                out += c;
        }
}

std::string XmlEscaped(std::string_view text, bool attribute) {
    std::string out;
    AppendXmlEscaped(out, text, attribute);
    return out;
}

}  // namespace lexicorn
