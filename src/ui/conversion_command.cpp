#include "ui/conversion_command.h"

#include <array>
#include <string>
#include <string_view>

#include "text/paths.h"

namespace quelvarn {

namespace {

// What MP4 holds as it is; copying keeps the sound bit for bit and costs nothing.
constexpr std::array<std::string_view, 2> kCopiedAudioCodecs = {"aac", "mp3"};

// Subtitles the converter decodes to text, which MP4 holds as mov_text. Bitmap subtitles (PGS,
// DVD, DVB) have no place in MP4 and are left out.
constexpr std::array<std::string_view, 17> kTextSubtitleCodecs = {
    "subrip",  "srt", "ass",      "ssa",  "mov_text", "webvtt",    "text",       "microdvd", "mpl2",
    "jacosub", "pjs", "realtext", "sami", "stl",      "subviewer", "subviewer1", "vplayer"};

// Colour names the encoder's -color_primaries, -color_trc and -colorspace accept, as the probe
// report prints them (its transfer names bt470m and bt470bg are gamma22 and gamma28 there).
// Anything else is left untagged; HDR transfers are tone-mapped, never copied.
constexpr std::array<std::string_view, 11> kTaggedPrimaries = {
    "bt709",  "bt470m",   "bt470bg",  "smpte170m", "smpte240m", "film",
    "bt2020", "smpte428", "smpte431", "smpte432",  "jedec-p22"};
// Matrices of a YUV picture: an RGB picture's "gbr" does not describe the 4:2:0 output.
constexpr std::array<std::string_view, 9> kTaggedMatrices = {"bt709",     "fcc",       "bt470bg",
                                                             "smpte170m", "smpte240m", "ycgco",
                                                             "bt2020nc",  "bt2020c",   "smpte2085"};
struct TransferTag {
    std::string_view reported;
    std::string_view tagged;
};
constexpr std::array<TransferTag, 14> kTransferTags = {{
    {"bt709", "bt709"},
    {"bt470m", "gamma22"},
    {"bt470bg", "gamma28"},
    {"smpte170m", "smpte170m"},
    {"smpte240m", "smpte240m"},
    {"linear", "linear"},
    {"log100", "log100"},
    {"log316", "log316"},
    {"iec61966-2-4", "iec61966-2-4"},
    {"bt1361e", "bt1361e"},
    {"iec61966-2-1", "iec61966-2-1"},
    {"bt2020-10", "bt2020-10"},
    {"bt2020-12", "bt2020-12"},
    {"smpte428", "smpte428"},
}};

std::string_view transfer_tag(std::string_view reported) {
    for (const TransferTag& tag : kTransferTags) {
        if (tag.reported == reported) return tag.tagged;
    }
    return {};
}

template <size_t N>
bool is_one_of(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::string_view candidate : names) {
        if (candidate == name) return true;
    }
    return false;
}

bool is_hdr(const ProbedStream& video) {
    return video.color_transfer == "smpte2084" || video.color_transfer == "arib-std-b67";
}

bool is_rgb(const ProbedStream& video) {
    constexpr std::array<std::string_view, 8> kRgbPrefixes = {"rgb",  "bgr",  "gbr",  "argb",
                                                              "abgr", "0rgb", "0bgr", "pal8"};
    for (std::string_view prefix : kRgbPrefixes) {
        if (video.pixel_format.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return video.color_matrix == "gbr";
}

// 4:2:0 H.264 needs even sizes: -1 (keep the aspect ratio) becomes -2, which keeps it and rounds
// to even, and an odd typed size the even one below it.
Text scale_size(int size) {
    if (size == -1) return "-2";
    return std::to_string(size > 0 && size % 2 == 1 ? size - 1 : size);
}

// Linear light, tone-mapped with hable into BT.709 at a nominal 100 nits, then BT.709 4:2:0.
// The input's description is given, not left to the frames: a file may tag it only in the
// container. HDR video is BT.2020 where it does not say.
Text tone_mapping_filters(const ProbedStream& video) {
    Text primaries = video.color_primaries.empty() ? Text("bt2020") : video.color_primaries;
    Text matrix = video.color_matrix.empty() ? Text("bt2020nc") : video.color_matrix;
    return join_texts({"zscale=tin=", video.color_transfer, ":pin=", primaries, ":min=", matrix,
                       ":t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=hable:desat=0,"
                       "zscale=t=bt709:m=bt709:r=tv,"});
}

}  // namespace

const ProbedStream* main_video_stream(const ProbeInfo& probe) {
    const ProbedStream* first = nullptr;
    for (const ProbedStream& stream : probe.streams) {
        if (stream.kind != StreamKind::video || stream.attached_picture) continue;
        if (stream.is_default) return &stream;
        if (!first) first = &stream;
    }
    return first;
}

std::vector<Text> conversion_arguments(const ProbeInfo& probe, const ConversionRequest& request) {
    const ProbedStream* video = main_video_stream(probe);
    if (!video) return {};

    std::vector<Text> arguments = {"-y", "-i", request.input_path, "-map",
                                   join_texts({"0:", std::to_string(video->index)})};
    std::vector<Text> audio_codecs;
    bool any_subtitle = false;
    for (const ProbedStream& stream : probe.streams) {
        bool kept = false;
        if (stream.kind == StreamKind::audio) {
            kept = true;
            audio_codecs.push_back(is_one_of(kCopiedAudioCodecs, stream.codec) ? "copy" : "aac");
        } else if (stream.kind == StreamKind::subtitle &&
                   is_one_of(kTextSubtitleCodecs, stream.codec)) {
            kept = any_subtitle = true;
        }
        if (kept) {
            arguments.insert(arguments.end(),
                             {"-map", join_texts({"0:", std::to_string(stream.index)})});
        }
    }
    // Title and creation time: the converter's own default copy of the file's tags drops the
    // creation time.
    arguments.insert(arguments.end(), {"-map_metadata", "0"});

    // The scale converts to limited range, the range the output is tagged with, also from a
    // full-range source; from RGB it uses the BT.709 matrix the output is tagged with.
    bool hdr = is_hdr(*video);
    bool rgb = !hdr && is_rgb(*video);
    Text filters =
        join_texts({"scale=w=", scale_size(request.width), ":h=", scale_size(request.height),
                    ":out_range=tv", rgb ? ":out_color_matrix=bt709" : "", ","});
    if (hdr) filters += tone_mapping_filters(*video);
    filters += "format=yuv420p";
    arguments.insert(arguments.end(), {"-vf", filters, "-c:v", "libx264", "-profile:v", "high"});

    constexpr std::string_view kBt709 = "bt709";
    std::string_view primaries = hdr ? kBt709 : std::string_view(video->color_primaries);
    if (!is_one_of(kTaggedPrimaries, primaries)) primaries = {};
    std::string_view transfer = hdr ? kBt709 : transfer_tag(video->color_transfer);
    std::string_view matrix = hdr || rgb ? kBt709 : std::string_view(video->color_matrix);
    if (!is_one_of(kTaggedMatrices, matrix)) matrix = {};
    if (!primaries.empty())
        arguments.insert(arguments.end(), {"-color_primaries", Text(primaries)});
    if (!transfer.empty()) arguments.insert(arguments.end(), {"-color_trc", Text(transfer)});
    if (!matrix.empty()) arguments.insert(arguments.end(), {"-colorspace", Text(matrix)});
    arguments.insert(arguments.end(), {"-color_range", "tv"});

    for (size_t i = 0; i < audio_codecs.size(); ++i) {
        arguments.insert(arguments.end(),
                         {join_texts({"-c:a:", std::to_string(i)}), audio_codecs[i]});
    }
    if (any_subtitle) arguments.insert(arguments.end(), {"-c:s", "mov_text"});
    // The index (moov) before the media data, so that playing starts before the file is whole.
    // The format is named: the output's temporary name does not end in .mp4. -y writes over the
    // empty file that reserved that name.
    arguments.insert(arguments.end(),
                     {"-movflags", "+faststart", "-f", "mp4", request.output_path});
    return arguments;
}

Text command_line_of(const std::vector<Text>& arguments) {
    Text line;
    for (const Text& argument : arguments) {
        line += ' ';
        line += quote_argument(argument);
    }
    return line;
}

}  // namespace quelvarn
