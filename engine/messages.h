#pragma once
// The engine's own texts, shown in its message boxes and dialogs.
namespace asmpic::messages {

inline constexpr const char* kEngineTitle = "clsASM";
inline constexpr const char* kWrongDepth = "Not 16 or 24-bit color setting";
inline constexpr const char* kBindingFailed = "Couldn't assign picturebox";
inline constexpr const char* kNoPictureBox = "You must assign a picturebox to the class first!";
inline constexpr const char* kGetDibsFailed = "Error in function GETDIBS";
inline constexpr const char* kBlitError = "Blit Error";
inline constexpr const char* kLoadFailed = "Error loading picture file";
inline constexpr const char* kSaveFailed = "Error saving picture file";

inline constexpr const char* kOpenTitle = "Load a Picture file";
inline constexpr const char* kSaveTitle = "Save Picture file";

}  // namespace asmpic::messages
