// The game program's entry. It grows into the full start-up as the game core lands.
int main() { return 0; }
