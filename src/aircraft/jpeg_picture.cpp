#include "aircraft/jpeg_picture.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace varnesk {

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not
// return: it jumps back into the decoding function. Only plain C objects
// live between setjmp and the jump.
struct ErrorJump {
    jpeg_error_mgr mgr;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr info)
{
    auto* err = reinterpret_cast<ErrorJump*>(info->err);
    info->err->format_message(info, err->message);
    std::longjmp(err->back, 1);
}

// Warnings (premature end of data, corrupt entropy data) are kept, not
// printed: a picture with any warning is refused.
void keepWarning(j_common_ptr info, int level)
{
    auto* err = reinterpret_cast<ErrorJump*>(info->err);
    if (level < 0) {
        if (err->mgr.num_warnings++ == 0)
            info->err->format_message(info, err->message);
    }
}

struct DecodeOut {
    QImage* image;
    bool tooLarge;
};

// Returns 0 on success, 1 on a libjpeg error (message in err.message).
int decodeInto(const unsigned char* data, unsigned long size, ErrorJump& err, DecodeOut& out)
{
    jpeg_decompress_struct info;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = errorExit;
    err.mgr.emit_message = keepWarning;
    if (setjmp(err.back)) {
        jpeg_destroy_decompress(&info);
        return 1;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    jpeg_read_header(&info, TRUE);
    if (info.image_width > static_cast<unsigned>(kMaxPictureSidePx)
        || info.image_height > static_cast<unsigned>(kMaxPictureSidePx)) {
        out.tooLarge = true;
        jpeg_destroy_decompress(&info);
        return 1;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    *out.image =
        QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), QImage::Format_RGB888);
    if (out.image->isNull() || info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return 1;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.image->scanLine(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return 0;
}

} // namespace

JpegResult decodeJpeg(const QByteArray& bytes)
{
    JpegResult result;
    if (bytes.isEmpty()) {
        result.reason = QStringLiteral("empty file");
        return result;
    }
    ErrorJump err{};
    QImage image;
    DecodeOut out{&image, false};
    const int failed = decodeInto(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                  static_cast<unsigned long>(bytes.size()), err, out);
    if (out.tooLarge) {
        result.reason = QStringLiteral("picture larger than %1 pixels a side").arg(kMaxPictureSidePx);
    } else if (failed) {
        result.reason = QString::fromLocal8Bit(err.message);
        if (result.reason.isEmpty())
            result.reason = QStringLiteral("not a JPEG picture");
    } else if (err.mgr.num_warnings > 0) {
        result.reason = QString::fromLocal8Bit(err.message);
    } else {
        result.image = std::move(image);
    }
    return result;
}

JpegResult loadJpegFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QImage(), file.errorString()};
    if (file.size() > kMaxPictureBytes)
        return {QImage(), QStringLiteral("file larger than %1 bytes").arg(kMaxPictureBytes)};
    return decodeJpeg(file.readAll());
}

QByteArray encodeJpeg(const QImage& source, int quality)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    if (image.isNull())
        return {};
    jpeg_compress_struct info;
    ErrorJump err{};
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = errorExit;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(err.back)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto row = const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size));
    std::free(buffer);
    return bytes;
}

} // namespace varnesk
