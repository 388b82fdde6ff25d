# A game folder without prog.dll ends with exit code 1 and the install hint.
run_game
expect_status 1
expect_output "Could not locate Program library file. Please download and install the application again."
