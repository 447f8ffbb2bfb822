/* pam_client CONFDIR SERVICE USER TTY [-n] STAGE...: runs the stages,
 * answering prompts with stdin's lines ("@shown": the password shown last;
 * -n: no answers) and printing the dialogue and each result. */
#include <security/pam_appl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int no_answers;
static char shown[128];

static int converse(int n, const struct pam_message **msg, struct pam_response **resp, void *data) {
    static const char *const styles[] = {"", "secret", "prompt", "error", "info"};
    (void)data;
    *resp = NULL;
    if (no_answers) return PAM_SUCCESS;
    struct pam_response *r = calloc((size_t)n, sizeof *r);
    if (r == NULL) return PAM_BUF_ERR;
    for (int i = 0; i < n; ++i) {
        int style = msg[i]->msg_style;
        const char *p = strstr(msg[i]->msg, "password is: ");
        printf("%s: %s\n", style >= 1 && style <= 4 ? styles[style] : "info", msg[i]->msg);
        if (style == PAM_TEXT_INFO && p != NULL) snprintf(shown, sizeof shown, "%s", p + 13);
        if (style != PAM_PROMPT_ECHO_OFF && style != PAM_PROMPT_ECHO_ON) continue;
        char line[1024];
        if (fgets(line, sizeof line, stdin) == NULL) {
            for (int j = 0; j < i; ++j)
                free(r[j].resp);
            free(r);
            return PAM_CONV_ERR;
        }
        line[strcspn(line, "\n")] = '\0';
        r[i].resp = strdup(strcmp(line, "@shown") == 0 ? shown : line);
    }
    *resp = r;
    return PAM_SUCCESS;
}

static int run(pam_handle_t *h, const char *stage) {
    if (strcmp(stage, "auth") == 0) return pam_authenticate(h, 0);
    if (strcmp(stage, "account") == 0) return pam_acct_mgmt(h, 0);
    if (strcmp(stage, "chauthtok") == 0) return pam_chauthtok(h, 0);
    if (strcmp(stage, "expired") == 0) return pam_chauthtok(h, PAM_CHANGE_EXPIRED_AUTHTOK);
    return strcmp(stage, "open") == 0 ? pam_open_session(h, 0) : -1;
}

int main(int argc, char **argv) {
    struct pam_conv conv = {converse, NULL};
    pam_handle_t *h = NULL;
    if (argc < 6 || pam_start_confdir(argv[2], argv[3], &conv, argv[1], &h) != PAM_SUCCESS)
        return 2;
    int r = PAM_SUCCESS;
    if (argv[4][0] != '\0') pam_set_item(h, PAM_TTY, argv[4]);
    for (int i = 5; i < argc; ++i) {
        no_answers |= strcmp(argv[i], "-n") == 0;
        if (strcmp(argv[i], "-n") == 0) continue;
        r = run(h, argv[i]);
        printf("%s: %d\n", argv[i], r);
    }
    pam_end(h, r);
    return 0;
}
