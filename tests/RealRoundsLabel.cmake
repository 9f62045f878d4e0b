# Included by ctest after the discovered tests: the test that derives a key
# at the rounds a phone uses (seconds of derivation) carries a label of its
# own, so `ctest -L real-rounds` runs it alone and `-LE real-rounds` skips it.
set(real_rounds_test tools.EncryptedBackupTest.ThePhonesOwnRoundCountsUnlock)
if(TEST ${real_rounds_test})
  set_tests_properties(${real_rounds_test} PROPERTIES LABELS real-rounds)
endif()
