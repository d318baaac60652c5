// Program entry: the start-up of the driver.
int main() { return 0; }
