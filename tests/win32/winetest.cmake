# A test program of a Windows build runs under Wine, once, inside the session that
# wine_session.sh prepares (prefix, display, wineserver); wine_test.sh judges it by its own
# summary line.
function(mapeo_wine_test name label)
    add_test(NAME ${name}
        COMMAND bash ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wine_test.sh $<TARGET_FILE:${name}>)
    # Under Wine a Qt item view spends 0.1 ms or more on each line it is told of: the log
    # view's test with 200,000 lines takes minutes there.
    set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT 900)
endfunction()
