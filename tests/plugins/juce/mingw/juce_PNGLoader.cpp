// Stands in for JUCE's PNG loader in the MinGW-w64 build of the test plug-in:
// Debian's JUCE carries no PNG library code and Debian has no MinGW libpng.
// The generic editor draws no images, so reading and writing fail cleanly.
namespace juce
{

PNGImageFormat::PNGImageFormat()  {}
PNGImageFormat::~PNGImageFormat() {}

String PNGImageFormat::getFormatName()                        { return "PNG"; }
bool PNGImageFormat::usesFileExtension (const File& f)        { return f.hasFileExtension ("png"); }
bool PNGImageFormat::canUnderstand (InputStream&)             { return false; }
Image PNGImageFormat::decodeImage (InputStream&)              { return {}; }
bool PNGImageFormat::writeImageToStream (const Image&, OutputStream&) { return false; }

} // namespace juce
