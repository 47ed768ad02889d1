#pragma once
// The three ready-made configurations of the preferences dialog's page "Quick Configure":
// what each one asks and what it sets. The page's grid of labels shows the same values.

struct TQuickPreset {
  const char* ButtonName;
  const char* Caption;
  // The question, in two lines.
  const char* Question1;
  const char* Question2;
  int ResampleFilter;  // item of the resample palette: 0 Box, 1 Triangle, 6 Lanczos3
  const char* FilterName;
  bool SmoothStretch;
  bool Preview;
  int ThumbSize;  // 0 small, 1 medium
  bool Fading;
  int SlideDelay;  // seconds
  bool ThumbCache;
};

inline constexpr int QuickPresetCount = 3;

inline constexpr TQuickPreset QuickPresets[QuickPresetCount] = {
    {"ZqSlow", "Low settings (fast)", "The program wil use a configuration with the fastest settings,",
     "usualy only needed for slower systems, continue?", 0, "Box", false, false, 0, false, 1, false},
    {"ZqNormal", "Normal settings", "The program wil use a configuration with the default settings,",
     "usable for most systems, continue?", 1, "Triangle", true, true, 1, true, 2, true},
    {"ZqFast", "High settings (slowest)", "The program wil use a configuration with the best, but slowest settings,",
     "usable for somewhat heavier systems , continue?", 6, "Lanczos3", true, false, 1, true, 2, true},
};
