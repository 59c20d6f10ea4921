#pragma once

#include <string>
#include <string_view>

struct zip;

namespace lexicorn {

/// Receives the events of an XML part, names without their namespace prefix.
class XmlHandler {
  public:
    virtual ~XmlHandler() = default;
    /// `attributes` alternates names and values and ends with a null pointer.
    virtual void Start(std::string_view name, const char** attributes) = 0;
    virtual void End(std::string_view name) = 0;
    virtual void Text(std::string_view text) = 0;

    /// Where the event being handled stands in a document parsed whole by ParseXmlDocument: its
    /// line from 1, and its bytes (a start tag, an end tag, none for the end of `<a/>`).
    struct Place {
        std::size_t line = 0;
        std::size_t offset = 0;
        std::size_t length = 0;
    };
    Place place;
};

/// Parses a whole XML document held in memory, sending its events to `handler` with their places.
/// A document that is not well-formed throws TableError "FILE:LINE: malformed XML: what".
void ParseXmlDocument(std::string_view document, const std::string& fileName, XmlHandler& handler);

/// Appends `text` as XML element content, or as an attribute value in double quotes: a carriage
/// return as a reference, which a parser would otherwise turn into a line feed; in attributes tabs,
/// line feeds and quotes too, which a parser would turn into spaces or take for the value's end.
void AppendXmlEscaped(std::string& out, std::string_view text, bool attribute = false);
/// The same, as a string of its own.
std::string XmlEscaped(std::string_view text, bool attribute = false);

/// The value of an attribute by its name without prefix; null when absent.
const char* Attribute(const char** attributes, std::string_view name);

/// A zip archive opened for reading its XML parts. Parts are read in pieces and their size is
/// capped, so a decompression bomb ends in an error instead of an exhausted machine. Every error
/// is a TableError naming the file and the part.
class ZipArchive {
  public:
    /// Most bytes of one part once uncompressed.
    static constexpr std::size_t kMostPartBytes = 512u << 20;

    explicit ZipArchive(const std::string& fileName);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool Has(const std::string& part) const;
    /// The part's size once uncompressed, as the archive states it: a damaged or hostile archive
    /// may state any size, so it serves as a hint, never as a promise. 0 when the archive states none.
    std::size_t StatedSize(const std::string& part) const;
    /// Parses the part, sending its events to `handler`.
    void Parse(const std::string& part, XmlHandler& handler) const;
    /// The part's bytes (for small parts such as "mimetype").
    std::string Read(const std::string& part) const;

  private:
    template <typename Consume>
    void ReadPieces(const std::string& part, Consume&& consume) const;

    std::string fileName_;
    zip* archive_ = nullptr;
};

}  // namespace lexicorn
