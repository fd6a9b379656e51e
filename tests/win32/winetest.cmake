# A test program of a Windows build runs under Wine, once, inside the session that
# wine_session.sh prepares (prefix, display, wineserver); wine_test.sh judges it by its own
# summary line.
function(mapeo_wine_test name label)
    add_test(NAME ${name}
        COMMAND bash ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wine_test.sh $<TARGET_FILE:${name}>)
    # Under Wine a Qt item view is slow to hear of each line: the log view's test with 200,000
    # lines takes most of a minute there, several on a busy machine.
    set_tests_properties(${name} PROPERTIES LABELS ${label} TIMEOUT 900)
endfunction()
