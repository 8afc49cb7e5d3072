# A test that measures round trips runs alone, so that other tests' load is not counted as its
# own; first (the highest cost), so that no running test has to end before it starts.
set_tests_properties(
    HostileResourceTest.FloodsOfMessagesOrRequestsCostTheDashboardNothingAndStopTheFlooder
    PROPERTIES RUN_SERIAL TRUE COST 10000)
