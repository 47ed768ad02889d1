#pragma once
// Routines shared by the files of the Exif reader: the tag callbacks named by
// the tables and the small text and number helpers they use.
#include <cstdint>
#include <string>

// Tag callbacks: the value text in, the shown text out.
std::string ComponentsConfigurationText(const std::string& valueText);
std::string ShutterSpeedText(const std::string& valueText);
std::string FlashText(const std::string& valueText);
std::string UserCommentText(const std::string& valueText);
std::string WindowsXpText(const std::string& valueText);
std::string GpsDegreesText(const std::string& valueText);
std::string GpsTimeText(const std::string& valueText);

// An integer text with optional blanks around it; false when it is none.
bool ParseInt32(const std::string& text, int32_t& value);
