// The message numbers of the LP-text reader (texts in the message file).
#pragma once

namespace kqopt::input::lp_message {

inline constexpr int kEmptyFile = 451;
inline constexpr int kNoSense = 452;
inline constexpr int kBadObjective = 453;
inline constexpr int kNoSubjectTo = 454;
inline constexpr int kKeywordExpected = 455;
inline constexpr int kNameExpected = 456;
inline constexpr int kRhsNotNumber = 457;
inline constexpr int kNoTerm = 458;
inline constexpr int kNoRelation = 459;
inline constexpr int kUpperNotNumber = 460;
inline constexpr int kBoundNotNumber = 461;
inline constexpr int kFreeWord = 462;
inline constexpr int kWrongBound = 463;
inline constexpr int kLowerNotNumber = 464;
inline constexpr int kLessExpected = 465;
inline constexpr int kLoadFailed = 466;
inline constexpr int kLongRowNames = 467;
inline constexpr int kLongColumnNames = 468;
inline constexpr int kRowNamesFailed = 469;
inline constexpr int kColumnNamesFailed = 470;
inline constexpr int kNoMemory = 471;
inline constexpr int kUnexpectedEnd = 472;
inline constexpr int kNoExponent = 473;
inline constexpr int kCountMismatch = 478;
inline constexpr int kNumberOutOfRange = 479;
inline constexpr int kStrayCharacter = 480;

}  // namespace kqopt::input::lp_message
