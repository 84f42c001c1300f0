// Probe reports ("ffmpeg -i FILE" with no output) of the bundled converter on small clips made for
// the purpose, as it printed them (folder names shortened).
#pragma once

#include <string_view>

namespace quelvarn::fixtures {

// 8-bit 4:2:0 H.264 tagged BT.709 with AAC, a title and a creation time; the whole report,
// banner included.
inline constexpr std::string_view kSdrMp4Report = R"report(ffmpeg version N-92722-gf22fcd4483 Copyright (c) 2000-2018 the FFmpeg developers
  built with gcc 8.2.1 (GCC) 20181201
  configuration: --enable-gpl --enable-version3 --enable-sdl2 --enable-fontconfig --enable-gnutls --enable-iconv --enable-libass --enable-libbluray --enable-libfreetype --enable-libmp3lame --enable-libopencore-amrnb --enable-libopencore-amrwb --enable-libopenjpeg --enable-libopus --enable-libshine --enable-libsnappy --enable-libsoxr --enable-libtheora --enable-libtwolame --enable-libvpx --enable-libwavpack --enable-libwebp --enable-libx264 --enable-libx265 --enable-libxml2 --enable-libzimg --enable-lzma --enable-zlib --enable-gmp --enable-libvidstab --enable-libvorbis --enable-libvo-amrwbenc --enable-libmysofa --enable-libspeex --enable-libxvid --enable-libaom --enable-libmfx --enable-amf --enable-ffnvcodec --enable-cuvid --enable-d3d11va --enable-nvenc --enable-nvdec --enable-dxva2 --enable-avisynth --enable-libopenmpt
  libavutil      56. 24.101 / 56. 24.101
  libavcodec     58. 42.102 / 58. 42.102
  libavformat    58. 24.101 / 58. 24.101
  libavdevice    58.  6.101 / 58.  6.101
  libavfilter     7. 46.101 /  7. 46.101
  libswscale      5.  4.100 /  5.  4.100
  libswresample   3.  4.100 /  3.  4.100
  libpostproc    55.  4.100 / 55.  4.100
Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'D:\videos\sdr420.mp4':
  Metadata:
    major_brand     : isom
    minor_version   : 512
    compatible_brands: isomiso2avc1mp41
    creation_time   : 2020-05-17T10:20:30.000000Z
    title           : A title
    encoder         : Lavf59.27.100
  Duration: 00:00:02.00, start: 0.000000, bitrate: 680 kb/s
    Stream #0:0(und): Video: h264 (Constrained Baseline) (avc1 / 0x31637661), yuv420p(tv, bt709), 320x180 [SAR 1:1 DAR 16:9], 599 kb/s, 25 fps, 25 tbr, 12800 tbn, 50 tbc (default)
    Metadata:
      creation_time   : 2020-05-17T10:20:30.000000Z
      handler_name    : VideoHandler
      encoder         : Lavc59.37.100 libx264
    Stream #0:1(und): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, mono, fltp, 69 kb/s (default)
    Metadata:
      creation_time   : 2020-05-17T10:20:30.000000Z
      handler_name    : SoundHandler
At least one output file must be specified
)report";

// 4:4:4 H.264 (a screen recording).
inline constexpr std::string_view kH264444Report = R"report(Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'D:\videos\h264_444.mp4':
  Metadata:
    major_brand     : isom
    minor_version   : 512
    compatible_brands: isomiso2avc1mp41
    encoder         : Lavf59.27.100
  Duration: 00:00:02.00, start: 0.000000, bitrate: 766 kb/s
    Stream #0:0(und): Video: h264 (High 4:4:4 Predictive) (avc1 / 0x31637661), yuv444p, 320x180 [SAR 1:1 DAR 16:9], 685 kb/s, 25 fps, 25 tbr, 12800 tbn, 50 tbc (default)
    Metadata:
      handler_name    : VideoHandler
      encoder         : Lavc59.37.100 libx264
    Stream #0:1(und): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, mono, fltp, 69 kb/s (default)
    Metadata:
      handler_name    : SoundHandler
At least one output file must be specified
)report";

// 10-bit SDR HEVC.
inline constexpr std::string_view kHevc10Report = R"report(Input #0, matroska,webm, from 'D:\videos\hevc10.mkv':
  Metadata:
    ENCODER         : Lavf59.27.100
  Duration: 00:00:02.00, start: 0.000000, bitrate: 200 kb/s
    Stream #0:0: Video: hevc (Main 10), yuv420p10le(tv, bt709, progressive), 320x180 [SAR 1:1 DAR 16:9], 25 fps, 25 tbr, 1k tbn, 25 tbc
    Metadata:
      ENCODER         : Lavc59.37.100 libx265
      DURATION        : 00:00:02.000000000
At least one output file must be specified
)report";

// 10-bit HEVC with HDR (PQ) tags, as phones record it.
inline constexpr std::string_view kHdrPqReport = R"report(Input #0, matroska,webm, from 'D:\videos\hdr_pq.mkv':
  Metadata:
    ENCODER         : Lavf59.27.100
  Duration: 00:00:02.00, start: 0.000000, bitrate: 200 kb/s
    Stream #0:0: Video: hevc (Main 10), yuv420p10le(tv, bt2020nc/bt2020/smpte2084, progressive), 320x180 [SAR 1:1 DAR 16:9], 25 fps, 25 tbr, 1k tbn, 25 tbc
    Metadata:
      ENCODER         : Lavc59.37.100 libx265
      DURATION        : 00:00:02.000000000
At least one output file must be specified
)report";

// 10-bit HEVC with HLG tags.
inline constexpr std::string_view kHdrHlgReport = R"report(Input #0, matroska,webm, from 'D:\videos\hdr_hlg.mkv':
  Metadata:
    ENCODER         : Lavf59.27.100
  Duration: 00:00:02.00, start: 0.000000, bitrate: 200 kb/s
    Stream #0:0: Video: hevc (Main 10), yuv420p10le(tv, bt2020nc/bt2020/arib-std-b67, progressive), 320x180 [SAR 1:1 DAR 16:9], 25 fps, 25 tbr, 1k tbn, 25 tbc
    Metadata:
      ENCODER         : Lavc59.37.100 libx265
      DURATION        : 00:00:02.000000000
At least one output file must be specified
)report";

// SRT and ASS subtitles.
inline constexpr std::string_view kTextSubtitlesReport = R"report(Input #0, matroska,webm, from 'D:\videos\text_subs.mkv':
  Metadata:
    ENCODER         : Lavf59.27.100
  Duration: 00:00:02.02, start: 0.000000, bitrate: 672 kb/s
    Stream #0:0: Video: h264 (Constrained Baseline), yuv420p(progressive), 320x180 [SAR 1:1 DAR 16:9], 25 fps, 25 tbr, 1k tbn, 50 tbc
    Metadata:
      ENCODER         : Lavc59.37.100 libx264
      DURATION        : 00:00:02.023000000
    Stream #0:1: Audio: aac (LC), 44100 Hz, mono, fltp
    Metadata:
      ENCODER         : Lavc59.37.100 aac
      DURATION        : 00:00:02.023000000
    Stream #0:2(eng): Subtitle: subrip (default)
    Metadata:
      ENCODER         : Lavc59.37.100 srt
      DURATION        : 00:00:01.623000000
    Stream #0:3(fre): Subtitle: ass
    Metadata:
      ENCODER         : Lavc59.37.100 ass
      DURATION        : 00:00:01.023000000
At least one output file must be specified
)report";

// PGS and DVD subtitles.
inline constexpr std::string_view kBitmapSubtitlesReport = R"report(Input #0, matroska,webm, from 'D:\videos\bitmap_subs.mkv':
  Metadata:
    title           : A title
    MINOR_VERSION   : 512
    COMPATIBLE_BRANDS: isomiso2avc1mp41
    MAJOR_BRAND     : isom
    ENCODER         : Lavf59.27.100
  Duration: 00:00:02.04, start: 0.000000, bitrate: 665 kb/s
    Stream #0:0: Video: h264 (Constrained Baseline), yuv420p(tv, bt709, progressive), 320x180 [SAR 1:1 DAR 16:9], 25 fps, 25 tbr, 1k tbn, 50 tbc (default)
    Metadata:
      HANDLER_NAME    : VideoHandler
      VENDOR_ID       : [0][0][0][0]
      ENCODER         : Lavc59.37.100 libx264
      DURATION        : 00:00:02.023000000
    Stream #0:1: Audio: aac (LC), 44100 Hz, mono, fltp (default)
    Metadata:
      HANDLER_NAME    : SoundHandler
      VENDOR_ID       : [0][0][0][0]
      DURATION        : 00:00:02.043000000
    Stream #0:2: Subtitle: hdmv_pgs_subtitle, 320x180 (default)
    Metadata:
      DURATION        : 00:00:01.023000000
    Stream #0:3: Subtitle: dvd_subtitle, 320x180
    Metadata:
      ENCODER         : Lavc59.37.100 dvdsub
      DURATION        : 00:00:01.023000000
At least one output file must be specified
)report";

// Opus and FLAC tracks.
inline constexpr std::string_view kTwoAudioReport = R"report(Input #0, matroska,webm, from 'D:\videos\two_audio.mkv':
  Metadata:
    ENCODER         : Lavf59.27.100
  Duration: 00:00:02.01, start: -0.007000, bitrate: 777 kb/s
    Stream #0:0: Video: h264 (Constrained Baseline), yuv420p(progressive), 320x180 [SAR 1:1 DAR 16:9], 25 fps, 25 tbr, 1k tbn, 50 tbc
    Metadata:
      ENCODER         : Lavc59.37.100 libx264
      DURATION        : 00:00:02.007000000
    Stream #0:1: Audio: opus, 48000 Hz, mono, fltp (default)
    Metadata:
      ENCODER         : Lavc59.37.100 libopus
      DURATION        : 00:00:02.008000000
    Stream #0:2(eng): Audio: flac, 44100 Hz, mono, s16
    Metadata:
      ENCODER         : Lavc59.37.100 flac
      DURATION        : 00:00:02.007000000
At least one output file must be specified
)report";

// PCM sound, untagged colours.
inline constexpr std::string_view kPcmReport = R"report(Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'D:\videos\pcm.mov':
  Metadata:
    major_brand     : qt  
    minor_version   : 512
    compatible_brands: qt  
    encoder         : Lavf59.27.100
  Duration: 00:00:02.00, start: 0.000000, bitrate: 1313 kb/s
    Stream #0:0: Video: h264 (Constrained Baseline) (avc1 / 0x31637661), yuv420p, 320x180 [SAR 1:1 DAR 16:9], 599 kb/s, 25 fps, 25 tbr, 12800 tbn, 50 tbc (default)
    Metadata:
      handler_name    : VideoHandler
      encoder         : Lavc59.37.100 libx264
    Stream #0:1: Audio: pcm_s16le (sowt / 0x74776F73), 44100 Hz, mono, s16, 705 kb/s (default)
    Metadata:
      handler_name    : SoundHandler
At least one output file must be specified
)report";

// an MP3 with a cover picture and no moving picture.
inline constexpr std::string_view kMp3CoverReport = R"report(Input #0, mp3, from 'D:\videos\cover.mp3':
  Metadata:
    encoder         : Lavf59.27.100
  Duration: 00:00:02.04, start: 0.025056, bitrate: 71 kb/s
    Stream #0:0: Audio: mp3, 44100 Hz, mono, fltp, 64 kb/s
    Stream #0:1: Video: png, rgb24(pc), 64x64 [SAR 1:1 DAR 1:1], 90k tbr, 90k tbn, 90k tbc
    Metadata:
      comment         : Other
At least one output file must be specified
)report";

// an MP4 with a cover picture after the video.
inline constexpr std::string_view kMp4CoverReport = R"report([mov,mp4,m4a,3gp,3g2,mj2 @ 0000000000cb2ec0] stream 0, timescale not set
Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'D:\videos\cover.mp4':
  Metadata:
    major_brand     : isom
    minor_version   : 512
    compatible_brands: isomiso2avc1mp41
    encoder         : Lavf59.27.100
  Duration: 00:00:02.00, start: 0.000000, bitrate: 687 kb/s
    Stream #0:0(und): Video: h264 (Constrained Baseline) (avc1 / 0x31637661), yuv420p, 320x180 [SAR 1:1 DAR 16:9], 599 kb/s, 25 fps, 25 tbr, 12800 tbn, 50 tbc (default)
    Metadata:
      handler_name    : VideoHandler
      encoder         : Lavc59.37.100 libx264
    Stream #0:1(und): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, mono, fltp, 69 kb/s (default)
    Metadata:
      handler_name    : SoundHandler
    Stream #0:2: Video: png, rgb24(pc), 64x64 [SAR 1:1 DAR 1:1], 90k tbr, 90k tbn, 90k tbc
At least one output file must be specified
)report";

// a phone clip held upright: rotation metadata.
inline constexpr std::string_view kRotatedReport = R"report(Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'D:\videos\rotated.mp4':
  Metadata:
    major_brand     : isom
    minor_version   : 512
    compatible_brands: isomiso2avc1mp41
    title           : A title
    encoder         : Lavf59.27.100
  Duration: 00:00:02.00, start: 0.000000, bitrate: 680 kb/s
    Stream #0:0(und): Video: h264 (Constrained Baseline) (avc1 / 0x31637661), yuv420p(tv, bt709), 320x180 [SAR 1:1 DAR 16:9], 599 kb/s, 25 fps, 25 tbr, 12800 tbn, 50 tbc (default)
    Metadata:
      rotate          : 270
      handler_name    : VideoHandler
      encoder         : Lavc59.37.100 libx264
    Side data:
      displaymatrix: rotation of 90.00 degrees
    Stream #0:1(und): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, mono, fltp, 69 kb/s (default)
    Metadata:
      handler_name    : SoundHandler
At least one output file must be specified
)report";

// full-range H.264 (yuvj420p).
inline constexpr std::string_view kFullRangeReport = R"report(Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'D:\videos\full.mp4':
  Metadata:
    major_brand     : isom
    minor_version   : 512
    compatible_brands: isomiso2avc1mp41
    encoder         : Lavf59.27.100
  Duration: 00:00:01.00, start: 0.000000, bitrate: 656 kb/s
    Stream #0:0(und): Video: h264 (Constrained Baseline) (avc1 / 0x31637661), yuvj420p(pc), 320x180 [SAR 1:1 DAR 16:9], 648 kb/s, 25 fps, 25 tbr, 12800 tbn, 50 tbc (default)
    Metadata:
      handler_name    : VideoHandler
      encoder         : Lavc59.37.100 libx264
At least one output file must be specified
)report";

// Motion JPEG: a still-image codec that moves.
inline constexpr std::string_view kMjpegReport = R"report(Input #0, avi, from 'D:\videos\mjpeg.avi':
  Metadata:
    encoder         : Lavf59.27.100
  Duration: 00:00:01.00, start: 0.000000, bitrate: 1954 kb/s
    Stream #0:0: Video: mjpeg (Baseline) (MJPG / 0x47504A4D), yuvj420p(pc, bt470bg/unknown/unknown), 320x180 [SAR 1:1 DAR 16:9], 1983 kb/s, 25 fps, 25 tbr, 25 tbn, 25 tbc
At least one output file must be specified
)report";

// PNG-coded RGB video.
inline constexpr std::string_view kRgbReport = R"report(Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'D:\videos\rgb.mov':
  Metadata:
    major_brand     : qt  
    minor_version   : 512
    compatible_brands: qt  
    encoder         : Lavf59.27.100
  Duration: 00:00:01.00, start: 0.000000, bitrate: 1391 kb/s
    Stream #0:0: Video: png (png  / 0x20676E70), rgb24(pc, progressive), 320x180 [SAR 1:1 DAR 16:9], 1384 kb/s, 25 fps, 25 tbr, 12800 tbn, 12800 tbc (default)
    Metadata:
      handler_name    : VideoHandler
      encoder         : Lavc59.37.100 png
At least one output file must be specified
)report";

// a file that does not exist.
inline constexpr std::string_view kMissingFileReport = R"report(ffmpeg version N-92722-gf22fcd4483 Copyright (c) 2000-2018 the FFmpeg developers
  built with gcc 8.2.1 (GCC) 20181201
  configuration: --enable-gpl --enable-version3 --enable-sdl2 --enable-fontconfig --enable-gnutls --enable-iconv --enable-libass --enable-libbluray --enable-libfreetype --enable-libmp3lame --enable-libopencore-amrnb --enable-libopencore-amrwb --enable-libopenjpeg --enable-libopus --enable-libshine --enable-libsnappy --enable-libsoxr --enable-libtheora --enable-libtwolame --enable-libvpx --enable-libwavpack --enable-libwebp --enable-libx264 --enable-libx265 --enable-libxml2 --enable-libzimg --enable-lzma --enable-zlib --enable-gmp --enable-libvidstab --enable-libvorbis --enable-libvo-amrwbenc --enable-libmysofa --enable-libspeex --enable-libxvid --enable-libaom --enable-libmfx --enable-amf --enable-ffnvcodec --enable-cuvid --enable-d3d11va --enable-nvenc --enable-nvdec --enable-dxva2 --enable-avisynth --enable-libopenmpt
  libavutil      56. 24.101 / 56. 24.101
  libavcodec     58. 42.102 / 58. 42.102
  libavformat    58. 24.101 / 58. 24.101
  libavdevice    58.  6.101 / 58.  6.101
  libavfilter     7. 46.101 /  7. 46.101
  libswscale      5.  4.100 /  5.  4.100
  libswresample   3.  4.100 /  3.  4.100
  libpostproc    55.  4.100 / 55.  4.100
D:\videos\missing.mp4: No such file or directory
)report";

// A conversion's report: the output's streams follow the input's and are not the file's.
inline constexpr std::string_view kConversionReport = R"report(Input #0, matroska,webm, from 'D:\videos\two_audio.mkv':
  Metadata:
    ENCODER         : Lavf59.27.100
  Duration: 00:00:02.01, start: -0.007000, bitrate: 777 kb/s
    Stream #0:0: Video: h264 (Constrained Baseline), yuv420p(progressive), 320x180 [SAR 1:1 DAR 16:9], 25 fps, 25 tbr, 1k tbn, 50 tbc
    Metadata:
      ENCODER         : Lavc59.37.100 libx264
      DURATION        : 00:00:02.007000000
    Stream #0:1: Audio: opus, 48000 Hz, mono, fltp (default)
    Metadata:
      ENCODER         : Lavc59.37.100 libopus
      DURATION        : 00:00:02.008000000
    Stream #0:2(eng): Audio: flac, 44100 Hz, mono, s16
    Metadata:
      ENCODER         : Lavc59.37.100 flac
      DURATION        : 00:00:02.007000000
Stream mapping:
  Stream #0:0 -> #0:0 (h264 (native) -> h264 (libx264))
  Stream #0:1 -> #0:1 (opus (native) -> aac (native))
  Stream #0:2 -> #0:2 (flac (native) -> aac (native))
Press [q] to stop, [?] for help
Output #0, mp4, to 'D:\videos\x.mp4':
  Metadata:
    encoder         : Lavf58.24.101
    Stream #0:0: Video: h264 (libx264) (avc1 / 0x31637661), yuv420p(progressive), 214x120 [SAR 320:321 DAR 16:9], q=-1--1, 25 fps, 12800 tbn, 25 tbc
    Stream #0:1: Audio: aac (LC) (mp4a / 0x6134706D), 48000 Hz, mono, fltp, 69 kb/s (default)
    Stream #0:2(eng): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, mono, fltp (16 bit), 69 kb/s
)report";

}  // namespace quelvarn::fixtures
