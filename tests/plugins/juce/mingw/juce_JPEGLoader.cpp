// Stands in for JUCE's JPEG loader in the MinGW-w64 build of the test
// plug-in (no MinGW libjpeg on Debian); reading and writing fail cleanly.
namespace juce
{

JPEGImageFormat::JPEGImageFormat() : quality (-1.0f) {}
JPEGImageFormat::~JPEGImageFormat() {}

void JPEGImageFormat::setQuality (float newQuality)            { quality = newQuality; }
String JPEGImageFormat::getFormatName()                       { return "JPEG"; }
bool JPEGImageFormat::usesFileExtension (const File& f)       { return f.hasFileExtension ("jpeg;jpg"); }
bool JPEGImageFormat::canUnderstand (InputStream&)            { return false; }
Image JPEGImageFormat::decodeImage (InputStream&)             { return {}; }
bool JPEGImageFormat::writeImageToStream (const Image&, OutputStream&) { return false; }

} // namespace juce
