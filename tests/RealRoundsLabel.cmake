# Included by ctest after the discovered tests: the test that derives a key
# at the rounds a phone uses (seconds of derivation) carries a label of its
# own, so `ctest -L real-rounds` runs it alone and `-LE real-rounds` skips it.
# A name ctest does not know (the tools tests not built) is passed over.
set_tests_properties(tools.EncryptedBackupTest.ThePhonesOwnRoundCountsUnlock PROPERTIES LABELS real-rounds)
