#pragma once

// The application's colours as sRGB components, for every layer that draws. Views turn them into
// their toolkit's colour type: `ThemeColors::surface.to<QColor>()`.
namespace ThemeColors {

struct Components {
    float red;
    float green;
    float blue;
    float opacity = 1;

    template <typename Colour> Colour to() const {
        return Colour::fromRgbF(red, green, blue, opacity);
    }
};

inline constexpr Components background{0.047f, 0.055f, 0.059f}; // windows and the dashboard
inline constexpr Components surface{0.081f, 0.091f, 0.095f};    // widget tiles and placeholders
inline constexpr Components text{0.93f, 0.94f, 0.9f};
inline constexpr Components muted{0.56f, 0.6f, 0.59f};
inline constexpr Components line{1, 1, 1, 0.08f};
inline constexpr Components danger{1, 0.541f, 0.502f}; // errors: the widgets' --tarn-danger

} // namespace ThemeColors
