#pragma once
// Moving, turning, mirroring and scaling the blocks of an NC program. The program is read by
// the toolpath interpreter of its dialect, which tells at every block what its words mean
// there (G90 or G91, the plane, the arc centre mode, the shifts, where the tool stands); the
// words are rewritten so that the new program's toolpath is the old one transformed:
//   - points (absolute words) are transformed, distances (incremental words, I/J/K of an arc,
//     zero-point shifts) only turned, mirrored or scaled: an incremental move is not shifted;
//   - R of an arc scales; one mirror swaps G02/G03, G41/G42, DR+/DR- and RL/RR;
//   - comments and the words of G04, G10, G28 and G30 blocks are left alone;
//   - numbers keep the program's style (decimals, a trailing ".", leading zeros, "+", the
//     order of the words); a word that must be added goes after the block's last axis word.
// What cannot be transformed exactly is refused before anything changes, naming the line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plot/Plot.h"

enum class TransformMode { Move, Rotate, Mirror, Scale };

inline constexpr const char* kTransformCaption = "Transformer";
inline constexpr const char* kMoveText = "Flytt";
inline constexpr const char* kRotateText = "Roter";
inline constexpr const char* kMirrorText = "Speil";
inline constexpr const char* kScaleText = "Skaler";

struct TransformRequest {
    TransformMode mode = TransformMode::Move;
    double move[3] = {0, 0, 0};  // Flytt: dX, dY, dZ in mm
    // Roter: degrees, counter-clockwise in the plane (from its first axis towards its second:
    // X to Y in G17, Z to X in G18, Y to Z in G19), about centre's two values of the plane's
    // axes in that order. The plane is the one in force where the transform begins (G17 when
    // the program sets none).
    double angle = 0;
    double centre[3] = {0, 0, 0};  // Roter: the plane's two axes; Skaler: X, Y, Z
    bool mirrorX = false, mirrorY = false;  // Speil: about X = mirrorAt and/or Y = mirrorAt
    double mirrorAt = 0;
    double factor = 1;       // Skaler
    bool scaleFeed = false;  // Skaler: F too
    // The lines, 0-based; all when onlyLines is false.
    bool onlyLines = false;
    size_t first = 0, last = 0;
};

struct TransformResult {
    bool ok = false;
    std::string message;  // "Linje N kan ikke transformeres: ..." when refused
    uint32_t refusedLine = 0;
    // The lines that change (0-based, ascending) and their new texts.
    std::vector<std::pair<size_t, std::string>> changed;
};

// "Linje N kan ikke transformeres: " + reason.
std::string RefusalText(uint32_t line, std::string_view reason);
// Reasons of a refusal.
inline constexpr const char* kNeverReachedReason = "programmet kommer aldri til linjen";
inline constexpr const char* kVariesReason = "linjen kjøres flere ganger med ulik betydning";
inline constexpr const char* kMachineMoveReason = "en G53-bevegelse er i maskinkoordinater";
inline constexpr const char* kTiltedArcReason = "buen ville ligge i et skrått plan";
inline constexpr const char* kTiltedCycleReason = "syklusens plan ville vippe";
inline constexpr const char* kPeckScaleReason = "returavstanden til en hakkesyklus skaleres ikke";
inline constexpr const char* kPartialShiftReason = "forskyvningen mangler en akse i planet";
inline constexpr const char* kLatheCycleReason = "dreiesyklusen kan bare flyttes";
inline constexpr const char* kBadFactorReason = "faktoren må være større enn 0";
std::string UnknownPositionReason(char axis);
inline constexpr const char* kEssiText = "ESSI-programmer kan ikke transformeres";  // "posisjonen i X er ukjent"

// The factor and the line range are checked first: a factor of 0 or below is refused as
// line 1's.
TransformResult TransformProgram(std::string_view text, const PlotSettings& settings,
                                 const TransformRequest& request);

// The whole text with the changed lines in place (CR LF after every line, as saved).
std::string ApplyTransform(std::string_view text, const TransformResult& result);

// A number typed in the dialog: blanks around it dropped, the first "," read as "."; false
// when the text is no number.
bool ReadTypedNumber(std::string_view text, double& value);
inline constexpr const char* kBadValuesText = "Oppgitte verdier er feil";

// A number in the style of another as written: its decimals (at least `minDecimals` when the
// value needs them, trailing zeros beyond the style's own dropped), a trailing "." when the
// style has one, leading zeros to the style's width, "+" when the style shows it.
std::string FormatLike(double value, std::string_view style, int minDecimals);
