# When each test starts; read by ctest once the tests are known.

# A test that measures round trips runs alone, so that other tests' load is not counted as its
# own; first (the highest cost), so that no running test has to end before it starts.
set_tests_properties(
    HostileResourceTest.FloodsOfMessagesOrRequestsCostTheDashboardNothingAndStopTheFlooder
    PROPERTIES RUN_SERIAL TRUE COST 10000)

# Then the longest. ctest learns how long each test takes from its runs, but a fresh build has no
# runs to go by: ctest would start the tests in the order they are listed, some of the longest
# near the end, and the whole run would wait for them with the processors idle. The costs are
# their seconds, the longer of the two builds' (with and without the sanitizers), with the whole
# suite running on two processors. (Tests that tests/CMakeLists.txt adds by name have their costs
# there.)
set_tests_properties(WebWidgetTest PROPERTIES COST 19)
set_tests_properties(TouchReplayTest PROPERTIES COST 15)
set_tests_properties(WidgetProgramsTest Application.ASecondStartHandsItsCommandLineToTheFirst
    IncludedWidgetTest.EveryIncludedWidgetIsReadableInEveryStateAtEverySectionSize
    PROPERTIES COST 12)
set_tests_properties(IncludedWidgetTest SettingsViewTest HostileWidgetTest PROPERTIES COST 11)
set_tests_properties(WebWidgetTest.TenThousandSnapshotsLeaveTheRendererFlat PulseTest
    Application.ThePreviewShowsOnAWaylandCompositorAndQuitsCleanly PROPERTIES COST 7)
set_tests_properties(HostileResourceTest WebWidgetTest.EveryIncludedWidgetLoadsWithoutAScriptError
    Application.AHungDashboardGetsATimeLimitAndAClearMessage PROPERTIES COST 6)
set_tests_properties(ServiceProcess ToolTest MprisTest PROPERTIES COST 4)
set_tests_properties(ProjectTest DevSessionTest DesktopViewing PROPERTIES COST 2)
