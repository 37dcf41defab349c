// JPEG through libjpeg-turbo: decoded straight into the picture's rows, with the library's own
// accurate integer IDCT and smooth upsampling, since the pixels are measured.

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
#include <jpegint.h>  // the marker reader's count of bytes passed over, which it shares
// clang-format on

#include "core/Errors.h"
#include "io/Decoders.h"

namespace {

// A progressive file decodes every scan over the whole picture, some 30 ms each at the largest
// size, so one of a few hundred kilobytes made of thousands of empty scans would keep us busy for
// minutes. libjpeg's own progression writes 6 scans a component, 24 for CMYK; others fewer.
constexpr int kMaxScans = 32;

constexpr unsigned char kXmpSignature[] = "http://ns.adobe.com/xap/1.0/";  // with its NUL

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  bool junk;  // gave up on the bytes between two markers
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// libjpeg passes over anything between markers, byte by byte, however much there is: a file
// padded with gigabytes of nothing would hold the window for minutes and then load.
[[noreturn]] void JunkExit(j_common_ptr cinfo) {
  reinterpret_cast<ErrorManager*>(cinfo->err)->junk = true;
  ErrorExit(cinfo);
}

// Warnings about missing or damaged pixel data end the decoding: the library would fill in grey
// or repeat blocks, and a measurement would be taken on them. The rest are not about the pixels.
void EmitMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;  // traces
  switch (cinfo->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:  // a few stray bytes before a marker, as some cameras leave
      if (static_cast<unsigned>(cinfo->err->msg_parm.i[0]) > kMaxJpegJunkBytes) JunkExit(cinfo);
      return;
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC:
      return;
    default:
      ErrorExit(cinfo);
  }
}

void OutputMessage(j_common_ptr) {}

void MonitorScans(j_common_ptr cinfo) {
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
    cinfo->err->msg_code = JERR_BAD_SCAN_SCRIPT;
    ErrorExit(cinfo);
  }
}

struct Source {
  jpeg_source_mgr pub;
  SourceStream* stream;
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// The end of the file before the end of the picture is a cut-short file, not one to pad out.
boolean FillInput(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<Source*>(cinfo->src);
  // Refused once the junk is known to be too much, not only at the marker after it.
  if (cinfo->marker != nullptr && cinfo->marker->discarded_bytes > kMaxJpegJunkBytes) {
    JunkExit(reinterpret_cast<j_common_ptr>(cinfo));
  }
  const unsigned char* bytes = nullptr;
  const std::size_t n = src->stream->Next(&bytes);
  if (n == 0) {
    cinfo->err->msg_code = JERR_INPUT_EOF;
    ErrorExit(reinterpret_cast<j_common_ptr>(cinfo));
  }
  src->pub.next_input_byte = bytes;
  src->pub.bytes_in_buffer = n;
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<Source*>(cinfo->src);
  if (count <= 0) return;
  const auto n = static_cast<std::size_t>(count);
  if (n <= src->pub.bytes_in_buffer) {
    src->pub.next_input_byte += n;
    src->pub.bytes_in_buffer -= n;
  } else {
    src->stream->Skip(n - src->pub.bytes_in_buffer);
    src->pub.bytes_in_buffer = 0;
  }
}

// Everything the decoding changes lives here, outside the frame that calls setjmp, so that
// nothing is left indeterminate when libjpeg jumps back.
struct Job {
  explicit Job(ImageSource& source) : stream(source) {
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = OutputMessage;
    progress.progress_monitor = MonitorScans;
    src.pub.init_source = InitSource;
    src.pub.fill_input_buffer = FillInput;
    src.pub.skip_input_data = SkipInput;
    src.pub.resync_to_restart = jpeg_resync_to_restart;
    src.pub.term_source = TermSource;
    src.stream = &stream;
  }
  ~Job() { jpeg_destroy_decompress(&cinfo); }
  Job(const Job&) = delete;
  Job& operator=(const Job&) = delete;

  SourceStream stream;
  jpeg_decompress_struct cinfo;
  ErrorManager err{};
  jpeg_progress_mgr progress{};
  Source src{};
  DecodedPicture out;
  std::vector<JSAMPLE> cmykRow;
};

void KeepXmp(Job& job) {
  for (jpeg_saved_marker_ptr m = job.cinfo.marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && m->data_length > sizeof kXmpSignature &&
        std::memcmp(m->data, kXmpSignature, sizeof kXmpSignature) == 0) {
      job.out.Xmp.assign(reinterpret_cast<const char*>(m->data) + sizeof kXmpSignature,
                         m->data_length - sizeof kXmpSignature);
      return;
    }
  }
}

// Adobe's programs write CMYK inverted (0 is full ink) and mark the file with their APP14
// segment, which libjpeg also writes; files without it hold plain ink values.
void CmykRow(const JSAMPLE* in, std::uint32_t* out, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, in += 4) {
    unsigned c = in[0], m = in[1], y = in[2], k = in[3];
    if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
    out[x] =
        0xff000000u | (c * k + 127) / 255 << 16 | (m * k + 127) / 255 << 8 | (y * k + 127) / 255;
  }
}

// False when libjpeg gave up; what it said is in job.cinfo.err->msg_code.
bool Run(Job& job) {
  j_decompress_ptr cinfo = &job.cinfo;
  if (setjmp(job.err.jump) != 0) return false;
  jpeg_create_decompress(cinfo);
  cinfo->err = &job.err.pub;
  cinfo->src = &job.src.pub;
  cinfo->progress = &job.progress;
  jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xffff);
  jpeg_read_header(cinfo, TRUE);
  CheckPictureSize(cinfo->image_width, cinfo->image_height, kMsgInvalidJpeg);
  const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
  // The alpha byte of JCS_EXT_BGRA is 0xFF, where that of JCS_EXT_BGRX is left undefined.
  cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
  job.out.Image = NewPicture(cinfo->image_width, cinfo->image_height);
  jpeg_start_decompress(cinfo);
  if (cinfo->output_width != cinfo->image_width || cinfo->output_height != cinfo->image_height ||
      cinfo->output_components != 4) {
    cinfo->err->msg_code = JERR_CONVERSION_NOTIMPL;
    return false;
  }
  uchar* const bits = job.out.Image.bits();
  const qsizetype stride = job.out.Image.bytesPerLine();
  if (cmyk) {
    job.cmykRow.resize(std::size_t{cinfo->output_width} * 4);
    JSAMPROW row = job.cmykRow.data();
    const bool inverted = cinfo->saw_Adobe_marker;
    while (cinfo->output_scanline < cinfo->output_height) {
      const JDIMENSION y = cinfo->output_scanline;
      jpeg_read_scanlines(cinfo, &row, 1);
      CmykRow(row, reinterpret_cast<std::uint32_t*>(bits + y * stride), cinfo->output_width,
              inverted);
    }
  } else {
    constexpr JDIMENSION kRowsAtOnce = 16;
    JSAMPROW rows[kRowsAtOnce];
    while (cinfo->output_scanline < cinfo->output_height) {
      const JDIMENSION y = cinfo->output_scanline;
      const JDIMENSION n = std::min(kRowsAtOnce, cinfo->output_height - y);
      for (JDIMENSION i = 0; i < n; ++i) rows[i] = bits + (y + i) * stride;
      jpeg_read_scanlines(cinfo, rows, n);
    }
  }
  KeepXmp(job);  // before finishing, which frees the saved markers
  jpeg_finish_decompress(cinfo);
  return true;
}

}  // namespace

DecodedPicture DecodeJpeg(ImageSource& source) {
  Job job(source);
  if (!Run(job)) {
    source.ThrowIfReadFailed();
    if (job.err.junk) throw TorbelError(kMsgJpegJunk);
    switch (job.err.pub.msg_code) {
      case JERR_OUT_OF_MEMORY:
        throw TorbelError(kMsgOutOfMemory);
      case JERR_IMAGE_TOO_BIG:  // beyond 65500 pixels
        throw TorbelError(kMsgPictureTooLarge);
      case JERR_BAD_PRECISION:
      case JERR_SOF_UNSUPPORTED:
      case JERR_CONVERSION_NOTIMPL:
      case JERR_NOTIMPL:
      case JERR_ARITH_NOTIMPL:
        throw TorbelError(kMsgUnsupportedJpeg);
      default:
        throw TorbelError(kMsgInvalidJpeg);
    }
  }
  return std::move(job.out);
}
