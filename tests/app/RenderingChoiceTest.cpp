#include "desktop/RenderingChoice.h"

#include <gtest/gtest.h>

using RenderingChoice::Rendering;

TEST(RenderingChoice, TheDriverDecidesUnlessTheVariableForcesAChoice) {
    const QString llvmpipe = "llvmpipe (LLVM 15.0.6, 256 bits)";
    const QString hardware = "Mesa Intel(R) UHD Graphics 620 (KBL GT2)";
    EXPECT_EQ(RenderingChoice::choose("", llvmpipe).rendering, Rendering::software);
    EXPECT_EQ(RenderingChoice::choose("", "softpipe").rendering, Rendering::software);
    EXPECT_EQ(RenderingChoice::choose("", "Software Rasterizer").rendering, Rendering::software);
    EXPECT_EQ(RenderingChoice::choose("", std::nullopt).rendering, Rendering::software);
    EXPECT_EQ(RenderingChoice::choose("", " ").rendering, Rendering::software);
    EXPECT_EQ(RenderingChoice::choose("", hardware).rendering, Rendering::openGL);
    EXPECT_EQ(RenderingChoice::choose("", "NVIDIA GeForce GTX 1650/PCIe/SSE2").rendering,
              Rendering::openGL);
    EXPECT_FALSE(RenderingChoice::choose("", hardware).warning);
    EXPECT_EQ(RenderingChoice::choose("", hardware).reason, "OpenGL renderer " + hardware);

    EXPECT_TRUE(RenderingChoice::isForced("software"));
    EXPECT_TRUE(RenderingChoice::isForced(" OpenGL "));
    EXPECT_FALSE(RenderingChoice::isForced(""));
    EXPECT_FALSE(RenderingChoice::isForced("vulkan"));
    EXPECT_EQ(RenderingChoice::choose("opengl", llvmpipe).rendering, Rendering::openGL);
    EXPECT_EQ(RenderingChoice::choose("opengl", std::nullopt).rendering, Rendering::openGL);
    EXPECT_EQ(RenderingChoice::choose("software", hardware).rendering, Rendering::software);
    EXPECT_EQ(RenderingChoice::choose("SOFTWARE", hardware).reason, "TABLORA_RENDERING=SOFTWARE");
    EXPECT_FALSE(RenderingChoice::choose("software", hardware).warning);

    // Anything else is said once and the driver decides.
    for (const char* text : {"vulkan", "gl", "0", "software,opengl"}) {
        const QString value(text);
        const auto choice = RenderingChoice::choose(value, hardware);
        EXPECT_EQ(choice.rendering, Rendering::openGL) << value.toStdString();
        ASSERT_TRUE(choice.warning);
        EXPECT_TRUE(choice.warning->contains("\"" + value + "\"")) << choice.warning->toStdString();
        EXPECT_FALSE(choice.warning->contains('\n'));
        EXPECT_EQ(RenderingChoice::choose(value, llvmpipe).rendering, Rendering::software);
    }
}
